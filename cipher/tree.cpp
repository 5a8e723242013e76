#include "cipher/tree.h"

#include "cipher/replace.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentil {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

void collectFolder(int dirFd, const std::string &folder, const std::vector<std::string> &skip,
                   std::vector<LockerFile> &files) {
    DIR *dir = ::fdopendir(::dup(dirFd));
    if (!dir)
        return;
    std::vector<std::string> subfolders;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." ||
            (folder.empty() && std::find(skip.begin(), skip.end(), name) != skip.end()))
            continue;
        struct stat info;
        if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(info.st_mode))
            subfolders.push_back(name);
        else if (S_ISREG(info.st_mode) && isTemporaryName(name))
            ::unlinkat(dirFd, name.c_str(), 0);
        else if (S_ISREG(info.st_mode))
            files.push_back({folder, name, static_cast<std::uint64_t>(info.st_size)});
    }
    ::closedir(dir);
    for (const std::string &name : subfolders) {
        const int subFd = ::openat(dirFd, name.c_str(), kFolderFlags);
        if (subFd < 0)
            continue;
        collectFolder(subFd, folder.empty() ? name : folder + '/' + name, skip, files);
        ::close(subFd);
    }
}

} // namespace

std::vector<LockerFile> collectFiles(int lockerFd, const std::vector<std::string> &skip) {
    std::vector<LockerFile> files;
    collectFolder(lockerFd, {}, skip, files);
    return files;
}

int openLockerFolder(int lockerFd, const std::string &folder) {
    int fd = ::fcntl(lockerFd, F_DUPFD_CLOEXEC, 0);
    std::size_t start = 0;
    while (fd >= 0 && start < folder.size()) {
        std::size_t end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        const int next = ::openat(fd, folder.substr(start, end - start).c_str(), kFolderFlags);
        ::close(fd);
        fd = next;
        start = end + 1;
    }
    return fd;
}

} // namespace zentil
