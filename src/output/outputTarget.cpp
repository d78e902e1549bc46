#include "output/outputTarget.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace korvane {

namespace {

constexpr mode_t NEW_FILE_MODE = 0666;  // less the umask, as any created file
constexpr mode_t PERMISSION_BITS = 07777;
constexpr int NAME_ATTEMPTS = 100;  // names taken by leftovers of killed runs are skipped

std::atomic<unsigned> tempSerial{0};

// The entry at path without following a link: false when there is none.
bool entryStatus(const std::string& path, struct stat& status) { return ::lstat(path.c_str(), &status) == 0; }

// ".NAME.tmp-PID-SERIAL" beside path; the leading dot keeps it out of the FASTA listing.
std::string tempName(const std::string& path, unsigned serial) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, nameStart) + "." + path.substr(nameStart) + ".tmp-" + std::to_string(::getpid()) + "-" +
           std::to_string(serial);
}

bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

}  // namespace

bool isWritableTarget(const std::string& path) {
    struct stat status {};
    if (!entryStatus(path, status)) return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

bool replaceFile(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.back() == '/') return false;
    struct stat status {};
    const bool exists = entryStatus(path, status);
    if (!exists && errno != ENOENT) return false;
    if (exists && (!S_ISREG(status.st_mode) || ::access(path.c_str(), W_OK) != 0)) return false;

    std::string temp;
    int descriptor = -1;
    for (int attempt = 0; attempt < NAME_ATTEMPTS && descriptor < 0; ++attempt) {
        temp = tempName(path, tempSerial.fetch_add(1));
        descriptor = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, NEW_FILE_MODE);
        if (descriptor < 0 && errno != EEXIST) return false;
    }
    if (descriptor < 0) return false;

    bool written = writeAll(descriptor, bytes);
    if (written && exists) written = ::fchmod(descriptor, status.st_mode & PERMISSION_BITS) == 0;
    written = ::close(descriptor) == 0 && written;
    // rename replaces a link that appeared meanwhile instead of writing through it.
    if (written && ::rename(temp.c_str(), path.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool removeRegularFile(const std::string& path) {
    struct stat status {};
    if (!entryStatus(path, status)) return errno == ENOENT;
    if (!S_ISREG(status.st_mode)) return false;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace korvane
