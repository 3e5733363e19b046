# Checks the desktop files shipped in the package, as the desktop and the software centres read them.
#   cmake -DCHECK=desktop|metainfo -DDIR=<packaging dir> -DVERSION=<project version> -P this-file
# Prints "SKIPPED:" when the validator is not installed.

set(_app_id org.colloqua.Colloqua)

# desktop-file-validate exits with zero after warnings and hints, so for it any output counts.
function(run_validator must_be_silent)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _out)
    if(NOT _rc EQUAL 0 OR (must_be_silent AND NOT _out STREQUAL ""))
        list(JOIN ARGN " " _command)
        message(FATAL_ERROR "${_command} failed (${_rc}):\n${_out}")
    endif()
endfunction()

if(CHECK STREQUAL "desktop")
    find_program(_validate desktop-file-validate)
    if(NOT _validate)
        message(STATUS "SKIPPED: desktop-file-validate is not installed (package desktop-file-utils)")
        return()
    endif()
    foreach(_file ${_app_id}.desktop ${_app_id}.autostart.desktop)
        run_validator(TRUE ${_validate} ${DIR}/${_file})
    endforeach()
elseif(CHECK STREQUAL "metainfo")
    set(_file ${DIR}/${_app_id}.metainfo.xml)
    # The newest release must be the version being built, or software centres offer a stale one.
    file(READ ${_file} _xml)
    if(NOT _xml MATCHES "<release version=\"([^\"]+)\"")
        message(FATAL_ERROR "${_file}: no <release> entry")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
        message(FATAL_ERROR "${_file}: the newest release is ${CMAKE_MATCH_1}, the project is ${VERSION}; "
            "add a <release> entry for ${VERSION} at the top of <releases>")
    endif()
    find_program(_appstreamcli appstreamcli)
    if(NOT _appstreamcli)
        message(STATUS "SKIPPED: appstreamcli is not installed (package appstream)")
        return()
    endif()
    run_validator(FALSE ${_appstreamcli} validate --no-net ${_file})
else()
    message(FATAL_ERROR "CHECK must be desktop or metainfo")
endif()
