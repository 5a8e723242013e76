#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zentil {

// One regular file of the locker: the folder it lies in, relative to the locker ("" for the
// locker itself), its name, and its size when it was listed.
struct LockerFile {
    std::string folder;
    std::string name;
    std::uint64_t size = 0;

    std::string path() const { return folder.empty() ? name : folder + '/' + name; }
};

// Lists the regular files below the locker folder, never following a symbolic link, and removes
// the temporary files that an interrupted run left behind. Names listed in skip (at the top of the
// locker only) are left out.
std::vector<LockerFile> collectFiles(int lockerFd, const std::vector<std::string> &skip);

// Opens a folder of the locker, relative to it, without following symbolic links; -1 on failure.
int openLockerFolder(int lockerFd, const std::string &folder);

} // namespace zentil
