// libFuzzer target: see ctReaderEntry in fuzzEntries.h.
#include "fuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvane::fuzzing::stopOnFailure(korvane::fuzzing::ctReaderEntry(data, size));
    return 0;
}
