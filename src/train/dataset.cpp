#include "train/dataset.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "output/output.h"
#include "rna/structure.h"

namespace korvane::train {

namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) out.push_back(f);
    return out;
}

int column(const std::vector<std::string>& header, const std::string& name, const std::string& path) {
    for (size_t c = 0; c < header.size(); ++c)
        if (header[c] == name) return static_cast<int>(c);
    throw datasetError(path + ": no column '" + name + "'");
}

}  // namespace

std::vector<molecule> readDataset(const std::string& folder, int maxLength) {
    const std::string manifest = folder + "/manifest.tsv";
    std::ifstream in(manifest);
    if (!in) throw datasetError(manifest + ": cannot be read");
    std::string line;
    std::getline(in, line);
    const auto header = fields(line);
    const int nameAt = column(header, "name", manifest);
    const int familyAt = column(header, "family", manifest);
    const int splitAt = column(header, "split", manifest);
    std::vector<molecule> out;
    while (std::getline(in, line)) {
        const auto row = fields(line);
        if (row.size() < header.size()) continue;
        const std::string ct = folder + "/" + row[nameAt] + ".ref.ct";
        // The CT reader stops the program on a file it cannot open; ask first.
        if (!std::filesystem::is_regular_file(ct)) throw datasetError(ct + ": cannot be read");
        structure record;
        readCtFile(record, ct);
        const int n = record.nbases;
        if (record.nstructs < 1 || n < 1) throw datasetError(ct + ": holds no structure");
        if (maxLength > 0 && n > maxLength) continue;
        molecule m;
        m.name = row[nameAt];
        m.family = row[familyAt];
        m.valid = row[splitAt] == "valid";
        std::string letters;
        for (int p = 1; p <= n; ++p) letters += record.seqchars[p];
        try {
            m.sequence = makeSequence(m.name, letters);
        } catch (const std::invalid_argument& e) {
            throw datasetError(ct + ": " + e.what());
        }
        const auto row1 = std::as_const(record).pairs(1);
        m.reference.assign(row1.begin(), row1.begin() + n + 1);
        out.push_back(std::move(m));
    }
    return out;
}

}  // namespace korvane::train
