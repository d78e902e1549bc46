#pragma once
// The progress line on a terminal: records done (of total when known), rate, elapsed and
// estimated remaining time, redrawn in place.

#include <chrono>
#include <ostream>

namespace korvane::cli {

class progressMeter {
public:
    // total 0: unknown. A meter that is not enabled prints nothing.
    progressMeter(std::ostream& out, bool enabled, long long total);
    // Redraws at most a few times a second, and always for the last record.
    void update(long long done);
    // Clears the line.
    void finish();

private:
    std::ostream& out_;
    bool enabled_;
    long long total_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDrawn_;
    bool drawn_ = false;
};

}  // namespace korvane::cli
