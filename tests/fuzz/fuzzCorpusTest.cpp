// Replays the fuzzing corpus (seeds and every input that once failed) through the same entries
// the libFuzzer targets use, so any build, sanitized or not, runs them without clang.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fuzzEntries.h"

namespace {

namespace fs = std::filesystem;
using entry = std::string (*)(const uint8_t*, size_t);

// Every corpus folder holds its seeds and its regression inputs; a folder with fewer files
// than this has lost some, and the replay would pass without testing anything.
constexpr size_t MIN_CORPUS_FILES = 5;

void replay(const std::string& target, entry run) {
    const fs::path folder = fs::path(KORVANE_SOURCE_DIR) / "tests" / "fuzz" / "corpus" / target;
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(folder))
        if (item.is_regular_file()) files.push_back(item.path());
    ASSERT_GE(files.size(), MIN_CORPUS_FILES) << folder;
    for (const fs::path& file : files) {
        const std::string bytes = korvane::fuzzing::readBytes(file);
        EXPECT_EQ(run(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), "") << file;
    }
}

TEST(fuzzCorpus, sequenceReader) { replay("sequenceReader", korvane::fuzzing::sequenceReaderEntry); }
TEST(fuzzCorpus, parameterReader) { replay("parameterReader", korvane::fuzzing::parameterReaderEntry); }
TEST(fuzzCorpus, ctReader) { replay("ctReader", korvane::fuzzing::ctReaderEntry); }
TEST(fuzzCorpus, evalInput) { replay("evalInput", korvane::fuzzing::evalInputEntry); }

}  // namespace
