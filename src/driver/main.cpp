#include <cstdio>

#include "driver/driver.h"

int main() {
    const int status = korvane::multiDatmain();
    std::getchar();
    return status;
}
