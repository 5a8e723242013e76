#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace zentil {

// The path of the entry name in a folder of the locker, relative to the locker ("" for the
// locker itself).
inline std::string pathInLocker(const std::string &folder, const std::string &name) {
    return folder.empty() ? name : folder + '/' + name;
}

// One regular file of the locker: the folder it lies in, relative to the locker, its name, and
// its size when it was listed.
struct LockerFile {
    std::string folder;
    std::string name;
    std::uint64_t size = 0;

    std::string path() const { return pathInLocker(folder, name); }
};

// A file or folder that a run could not bring into the wanted state, why, and what became of it:
// left as it was; replaced all the same, only its folder could not be flushed; or replaced by
// what it held within, itself still locked.
struct Failure {
    enum class Outcome { Left, Unflushed, StillLocked };

    std::string path;
    std::string reason;
    Outcome outcome = Outcome::Left;
};

// A failure's reason: what could not be done, and the system's error (errno) that stopped it.
std::string systemError(const char *what);

struct Listing {
    std::vector<LockerFile> files;
    // Folders that could not be listed and entries whose type could not be read.
    std::vector<Failure> unlisted;
    // A leftover temporary file that could not be removed.
    bool leftoverKept = false;

    // True when no temporary file of an ended run can be left in the locker.
    bool everyLeftoverGone() const { return unlisted.empty() && !leftoverKept; }
};

// Lists the regular files below the locker folder, never following a symbolic link, and removes
// the temporary files that the ended runs (runmark.h), or earlier versions, left behind. Files at
// the top of the locker for which skip(name) is true are left out.
Listing collectFiles(int lockerFd, const std::set<std::string> &endedRuns,
                     const std::function<bool(const std::string &)> &skip);

// Opens a folder of the locker, relative to it, without following symbolic links; -1 on failure.
int openLockerFolder(int lockerFd, const std::string &folder);
// Opens the entry name of the folder folderFd for reading, as it is: never through a symbolic
// link, and never waiting for the writer of a FIFO that took the name; -1 on failure.
int openToRead(int folderFd, const std::string &name);

} // namespace zentil
