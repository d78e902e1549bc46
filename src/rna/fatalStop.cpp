#include "rna/fatalStop.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace korvane {

void fatalStop(std::ostream& out, std::string_view message) {
    out << message << '\n';
    out.flush();
    std::cout.flush();
    std::getchar();
    std::exit(FATAL_EXIT_STATUS);
}

void fatalExit(std::ostream& out, std::string_view message) {
    out << message << '\n';
    out.flush();
    std::cout.flush();
    std::exit(FATAL_EXIT_STATUS);
}

}  // namespace korvane
