#include <cstdio>
#include <string_view>

#include "driver/driver.h"
#include "korvaneVersion.h"

int main(int argc, char** argv) {
    // The batch run takes no arguments; this one form only asks which korvane is installed.
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        const bool written = std::printf("korvane %s\n", korvane::KORVANE_VERSION) > 0 && std::fflush(stdout) == 0;
        return written ? 0 : 1;
    }
    const int status = korvane::multiDatmain();
    std::getchar();
    return status;
}
