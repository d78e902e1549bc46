#include <filesystem>
#include <system_error>

#include "output/output.h"

namespace korvane {

bool isWritableTarget(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return true;
    return !error && status.type() == std::filesystem::file_type::regular;
}

}  // namespace korvane
