#include "cli/outputNames.h"

namespace korvane::cli {

namespace {

bool isSafe(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

}  // namespace

std::string outputNames::nameFor(const std::string& title, int recordNumber) {
    std::size_t start = title.find_first_not_of(" \t");
    std::string base;
    if (start != std::string::npos) {
        const std::size_t end = title.find_first_of(" \t", start);
        base = title.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    if (base.size() > MAX_NAME_LENGTH) base.resize(MAX_NAME_LENGTH);
    for (char& c : base)
        if (!isSafe(c)) c = '_';
    if (!base.empty() && base[0] == '.') base[0] = '_';
    if (base.empty()) base = "record" + std::to_string(recordNumber);
    std::string name = base;
    for (int copy = 2; !used_.insert(name).second; ++copy) name = base + "_" + std::to_string(copy);
    return name;
}

}  // namespace korvane::cli
