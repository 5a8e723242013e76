#pragma once

#include <functional>
#include <string>

namespace zentil {

// Temporary files are named with this prefix and a random suffix of six characters, and carry
// their own name in an extended attribute until they take the original's place. A crash can
// leave one behind; the next run removes it, and nothing else: a file of the user's with such a
// name lacks the attribute. (Where the file system keeps no extended attributes, a leftover is
// never removed, only locked like a file of the user's.)
inline constexpr char kTemporaryPrefix[] = ".~zentil-";
bool isOurTemporary(int dirFd, const std::string &name);

// Why a file was left as it was when another program opened it for writing or changed it.
inline constexpr char kInUse[] = "in use";

// Writes from the file to a new file through transform(in, out); returns "" or why it failed.
using Transform = std::function<std::string(int in, int out)>;

// What became of a file: error is "" when it is in the wanted state, else why not; the file is
// then untouched. replaced says that it was replaced: it keeps the new state through a power cut
// only once its folder has been flushed.
struct Replacement {
    std::string error;
    bool replaced = false;
};

// Replaces the regular file name in the folder dirFd by what transform makes of it, when
// wanted(in) says the file needs it, so that at every moment the name holds either the whole old
// file or the whole new one: a temporary file beside it, flushed to disk, renamed over it. The
// caller flushes the folder before it reports success: once for all the files that it replaces
// there, so that a flush per file does not hold up the next. The new file keeps
// the old one's mode and modification time. A file that is open for writing elsewhere, or
// changes meanwhile, is left as it is (kInUse).
Replacement replaceInPlace(int dirFd, const std::string &name, const Transform &transform,
                           const std::function<bool(int in)> &wanted);

} // namespace zentil
