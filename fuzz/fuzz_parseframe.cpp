// libFuzzer target; the checks live in fuzzentries.cpp, shared with the regression test.
#include "fuzzentries.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzEntries::parseFrame(QByteArrayView(data, static_cast<qsizetype>(size)));
    return 0;
}
