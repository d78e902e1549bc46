// libFuzzer target: korvane-fold's command line.
#include <cstddef>
#include <cstdint>

#include "foldEntries.h"
#include "fuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvane::fuzzing::stopOnFailure(korvane::fuzzing::commandLineEntry(data, size));
    return 0;
}
