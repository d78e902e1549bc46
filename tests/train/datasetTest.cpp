#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "train/dataset.h"

namespace korvane::train {
namespace {

namespace fs = std::filesystem;

void writeCt(const fs::path& path, const std::string& letters, const std::vector<std::pair<int, int>>& pairs) {
    std::vector<int> partner(letters.size() + 1, 0);
    for (auto [i, j] : pairs) partner[i] = j, partner[j] = i;
    std::ofstream out(path);
    out << letters.size() << "  " << path.stem().stem().string() << "\n";
    for (size_t p = 1; p <= letters.size(); ++p)
        out << p << " " << letters[p - 1] << " " << p - 1 << " " << (p + 1) % (letters.size() + 1) << " "
            << partner[p] << " " << p << "\n";
}

TEST(Dataset, ReadsTheManifestsMoleculesAndRefusesBrokenFolders) {
    const fs::path dir = fs::temp_directory_path() / ("korvane-dataset-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "manifest.tsv") << "name\tfamily\tlength\tsplit\n"
                                        << "a\tF1\t12\ttrain\nb\tF2\t14\tvalid\nlong\tF1\t40\ttrain\n";
    writeCt(dir / "a.ref.ct", "GGGAAAACCCAA", {{1, 10}, {2, 9}, {3, 8}});
    writeCt(dir / "b.ref.ct", "GGGGAAAACCCCAA", {{1, 12}});
    writeCt(dir / "long.ref.ct", std::string(40, 'A'), {});
    const auto all = readDataset(dir.string(), 20);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, "a");
    EXPECT_FALSE(all[0].valid);
    EXPECT_TRUE(all[1].valid);
    EXPECT_EQ(all[0].reference[2], 9);
    EXPECT_EQ(all[1].sequence.length(), 14);
    EXPECT_EQ(readDataset(dir.string()).size(), 3u);

    fs::remove(dir / "b.ref.ct");
    EXPECT_THROW(readDataset(dir.string()), datasetError);
    std::ofstream(dir / "manifest.tsv") << "name\tfamily\n";
    EXPECT_THROW(readDataset(dir.string()), datasetError);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace korvane::train
