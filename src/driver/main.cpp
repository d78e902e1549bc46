#include <cstdio>

#include "driver/driver.h"

int main() {
    korvane::multiDatmain();
    std::getchar();
    return 0;
}
