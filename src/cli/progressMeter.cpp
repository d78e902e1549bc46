#include "cli/progressMeter.h"

#include <cstdio>
#include <string>

namespace korvane::cli {

namespace {

constexpr auto REDRAW_INTERVAL = std::chrono::milliseconds(200);
constexpr int SECONDS_PER_MINUTE = 60;
constexpr int SECONDS_PER_HOUR = 3600;

std::string clock(double seconds) {
    const long long s = seconds < 0 ? 0 : static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / SECONDS_PER_HOUR, (s / SECONDS_PER_MINUTE) % SECONDS_PER_MINUTE,
                  s % SECONDS_PER_MINUTE);
    return text;
}

}  // namespace

progressMeter::progressMeter(std::ostream& out, bool enabled, long long total)
    : out_(out), enabled_(enabled), total_(total), start_(std::chrono::steady_clock::now()), lastDrawn_(start_) {}

void progressMeter::update(long long done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDrawn_ < REDRAW_INTERVAL && done != total_) return;
    lastDrawn_ = now;
    drawn_ = true;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double rate = elapsed > 0 ? done / elapsed : 0;
    char line[160];
    if (total_ > 0) {
        const double remaining = rate > 0 ? (total_ - done) / rate : 0;
        std::snprintf(line, sizeof line, "\r%lld/%lld records  %.1f/s  elapsed %s  remaining %s\033[K", done, total_,
                      rate, clock(elapsed).c_str(), clock(remaining).c_str());
    } else {
        std::snprintf(line, sizeof line, "\r%lld records  %.1f/s  elapsed %s\033[K", done, rate, clock(elapsed).c_str());
    }
    out_ << line << std::flush;
}

void progressMeter::finish() {
    if (enabled_ && drawn_) out_ << "\r\033[K" << std::flush;
}

}  // namespace korvane::cli
