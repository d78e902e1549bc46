#pragma once
// Writing an output file in place of whatever regular file has its name, without ever following
// a link or leaving a partly written file behind. Every writer of a prediction goes through here.

#include <string>
#include <string_view>

namespace korvane {

// Replaces the file at path with exactly bytes. The bytes go to a new hidden file in the same
// folder (".NAME.tmp-..."), which is then renamed onto path, so readers see the old file or the
// whole new one and nothing in between. An existing file keeps its permission bits; a new one
// gets those of any newly created file (0666 less the umask).
// Returns false, printing nothing and leaving path as it was, when path is anything other than
// an absent entry or a regular file we may write (a symbolic link - dangling or not - a folder,
// a pipe, a device, a read-only file), or when the folder cannot take the new file or the write
// or the rename fails; the temporary file is removed then. Safe to call from several threads.
bool replaceFile(const std::string& path, std::string_view bytes);

// True when path names no entry at all, or a regular file that is not a symbolic link: the
// targets replaceFile may write. Never follows a link.
bool isWritableTarget(const std::string& path);

// Removes path when it is a regular file (a link, folder or anything else is left alone);
// true when nothing of that kind remains there.
bool removeRegularFile(const std::string& path);

}  // namespace korvane
