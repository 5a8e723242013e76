#include "cipher/tree.h"

#include "cipher/replace.h"
#include "cipher/runmark.h"
#include "common/fd.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentil {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

using Skip = std::function<bool(const std::string &)>;

// What a walk through the locker is given and what it gathers.
struct Walk {
    const std::set<std::string> &endedRuns;
    const Skip &skip;
    Listing listing;
};

bool isLeftover(int dirFd, const std::string &name, const Walk &walk) {
    return isTemporaryOf(name, walk.endedRuns) || isOurTemporary(dirFd, name);
}

// Files one entry of a folder under what it is.
void collectEntry(int dirFd, const std::string &folder, const std::string &name,
                  std::vector<std::string> &subfolders, Walk &walk) {
    Listing &listing = walk.listing;
    struct stat info;
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        listing.unlisted.push_back({pathInLocker(folder, name), systemError("cannot look at it")});
    else if (S_ISDIR(info.st_mode))
        subfolders.push_back(name);
    else if (S_ISREG(info.st_mode) && isLeftover(dirFd, name, walk))
        listing.leftoverKept |= ::unlinkat(dirFd, name.c_str(), 0) != 0;
    else if (S_ISREG(info.st_mode))
        listing.files.push_back({folder, name, static_cast<std::uint64_t>(info.st_size)});
}

// Lists one folder: its files into the listing, its subfolders onto the folders still to list.
void collectFolder(int dirFd, const std::string &folder, Walk &walk,
                   std::vector<std::string> &folders) {
    Listing &listing = walk.listing;
    Fd copy(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
    DIR *dir = copy.valid() ? ::fdopendir(copy.get()) : nullptr;
    if (!dir) {
        listing.unlisted.push_back({folder, systemError("cannot list this folder")});
        return;
    }
    copy.release(); // closed with the listing
    std::vector<std::string> subfolders;
    errno = 0;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && !(folder.empty() && walk.skip(name)))
            collectEntry(dirFd, folder, name, subfolders, walk);
        errno = 0; // readdir tells its end from an error only by errno
    }
    if (errno != 0)
        listing.unlisted.push_back({folder, systemError("cannot list this folder")});
    ::closedir(dir);
    for (const std::string &name : subfolders)
        folders.push_back(pathInLocker(folder, name));
}

} // namespace

// Each folder is opened afresh from the locker and closed before the next, so that a tree of any
// depth is walked with two descriptors at most.
Listing collectFiles(int lockerFd, const std::set<std::string> &endedRuns, const Skip &skip) {
    Walk walk{endedRuns, skip, {}};
    std::vector<std::string> folders = {""};
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        const Fd dir(openLockerFolder(lockerFd, folder));
        if (!dir.valid()) {
            walk.listing.unlisted.push_back({folder, systemError("cannot list this folder")});
            continue;
        }
        collectFolder(dir.get(), folder, walk, folders);
    }
    return std::move(walk.listing);
}

std::string systemError(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

int openToRead(int folderFd, const std::string &name) {
    return ::openat(folderFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

int openLockerFolder(int lockerFd, const std::string &folder) {
    Fd fd(::fcntl(lockerFd, F_DUPFD_CLOEXEC, 0));
    std::size_t start = 0;
    while (fd.valid() && start < folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        fd.reset(::openat(fd.get(), folder.substr(start, end - start).c_str(), kFolderFlags));
        start = end + 1;
    }
    return fd.release();
}

} // namespace zentil
