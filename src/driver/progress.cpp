#include <iostream>

#include "driver/driver.h"

namespace korvane {

namespace {
constexpr const char* PROGRESS_PREFIX = "Process... ...  ";
constexpr int SHORT_ERASE = 18;  // backspaces when the new value is at most 10
constexpr int LONG_ERASE = 19;
}  // namespace

void progressLine::show(int i, int n) {
    if (i <= 0) return;
    int p = (i * 100) / n;
    if (i == 1) {
        if (p == 0) p = 1;
        out_ << PROGRESS_PREFIX << p << '%';
        out_.flush();
        lastShown_ = p;
        return;
    }
    if (lastShown_ >= p) return;
    out_ << std::string(p <= 10 ? SHORT_ERASE : LONG_ERASE, '\b') << PROGRESS_PREFIX << (i == n ? 100 : p) << '%';
    out_.flush();
    lastShown_ = p;
}

void showProgress(int i, int n) {
    static progressLine line(std::cout);
    line.show(i, n);
}

}  // namespace korvane
