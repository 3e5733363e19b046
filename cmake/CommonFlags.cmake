# One target carries the flags every Colloqua target is built with.
add_library(colloqua_common INTERFACE)
target_compile_features(colloqua_common INTERFACE cxx_std_20)
target_compile_options(colloqua_common INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    $<$<BOOL:${COLLOQUA_WERROR}>:-Werror>)
target_compile_definitions(colloqua_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER
    QT_NO_CONTEXTLESS_CONNECT)
if(COLLOQUA_SANITIZE)
    target_compile_options(colloqua_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(colloqua_common INTERFACE -fsanitize=address,undefined)
endif()
# Fuzzing instruments every library for coverage and the sanitizers; only the fuzz targets
# link the fuzzer's own main.
if(COLLOQUA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "COLLOQUA_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
    endif()
    target_compile_options(colloqua_common INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(colloqua_common INTERFACE -fsanitize=address,undefined)
endif()
