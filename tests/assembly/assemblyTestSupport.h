#pragma once
// Jobs built from sequences written to a private temporary folder, and direct pool set-up.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "assembly/detail/foldJob.h"

namespace korvane::testing {

class jobMaker {
public:
    jobMaker() { std::filesystem::create_directories(dir_); }
    ~jobMaker() { std::filesystem::remove_all(dir_); }
    jobMaker(const jobMaker&) = delete;
    jobMaker& operator=(const jobMaker&) = delete;

    std::string write(const std::string& sequence) {
        const auto path = dir_ / ("seq" + std::to_string(counter_++) + ".fasta");
        std::ofstream(path) << ">test\n" << sequence << "\n";
        return path.string();
    }
    std::unique_ptr<foldJob> make(const std::string& sequence, const paramTables* tables = nullptr) {
        auto job = std::make_unique<foldJob>(tables);
        job->load(makeSequence("test", sequence));
        return job;
    }
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                                 ("korvane_assembly_" + std::to_string(::getpid()));
    int counter_ = 0;
};

// Puts exactly these stems into slots 1.. of the pool, end mark after them.
inline void setPool(foldJob& job, const std::vector<stem>& stems) {
    job.stemPool.assign(stems.size() + 2, stem{});
    job.energyDiff.assign(stems.size() + 1, 0);
    for (size_t s = 0; s < stems.size(); ++s) job.stemPool[s + 1] = stems[s];
    job.stemPool[stems.size() + 1].start = STEM_END_MARK;
    job.numOfstemsInPool = static_cast<int>(stems.size());
}

// The stems in slots 1..numOfstemsInPool.
inline std::vector<std::array<int, 3>> poolOf(const foldJob& job) {
    std::vector<std::array<int, 3>> out;
    for (int s = 1; s <= job.numOfstemsInPool; ++s)
        out.push_back({job.stemPool[s].start, job.stemPool[s].end, job.stemPool[s].length});
    return out;
}

// Small deterministic generator, so failures reproduce.
class lcg {
public:
    explicit lcg(std::uint64_t seed) : state_(seed * 2862933555777941757ULL + 3037000493ULL) {}
    int below(int bound) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(bound));
    }

private:
    std::uint64_t state_;
};

inline std::string randomRna(lcg& rng, int length, int gcPercent = 50) {
    std::string s;
    for (int p = 0; p < length; ++p) {
        const bool gc = rng.below(100) < gcPercent;
        s += gc ? "GC"[rng.below(2)] : "AU"[rng.below(2)];
    }
    return s;
}

}  // namespace korvane::testing
