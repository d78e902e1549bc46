// libFuzzer target: korvane-fold's multi-record reader, and the engine on what it reads.
#include <cstddef>
#include <cstdint>

#include "foldEntries.h"
#include "fuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvane::fuzzing::stopOnFailure(korvane::fuzzing::recordReaderEntry(data, size));
    return 0;
}
