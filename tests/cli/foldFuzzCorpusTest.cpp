// Replays korvane-fold's fuzzing corpus (seeds and every input that once failed).
#include <gtest/gtest.h>

#include <filesystem>

#include "../fuzz/foldEntries.h"
#include "../fuzz/fuzzEntries.h"

namespace {

namespace fs = std::filesystem;

template <typename entry>
void replay(const std::string& target, entry run) {
    const fs::path folder = fs::path(KORVANE_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / target;
    int replayed = 0;
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string bytes = korvane::fuzzing::readBytes(item.path());
        EXPECT_EQ(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << item.path();
        ++replayed;
    }
    EXPECT_GE(replayed, 5) << folder;
}

TEST(foldFuzzCorpus, recordReader) { replay("recordReader", korvane::fuzzing::recordReaderEntry); }
TEST(foldFuzzCorpus, commandLine) { replay("commandLine", korvane::fuzzing::commandLineEntry); }

}  // namespace
