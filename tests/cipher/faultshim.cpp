// Preloaded into zentil to make one call of the disk fail, as a failing or full disk would:
// FAULT_CALL names the call (write, fsync, rename, read or fdopendir; fsync stands for syncfs
// too; flink stands for a kernel before 6.10, which refuses to link an unnamed file by its
// descriptor, and for the creation of a named file too, which is the other way around it), FAULT_AT
// which one, counted from 1 across the process among the calls on the locker and what lies in it
// ("3+": the third and every one after), and FAULT_ERRNO the error (EIO unless given). With
// FAULT_SIGNAL, that call raises this signal instead (a run killed there). With
// FAULT_LOG, every write, flush and rename on the locker is also written to that file, one line
// each: "write <file>", "fsync <file or folder>", "syncfs <path>" or "rename <from> <to> <file>",
// where a file is named by its inode ("ino:123"), which it keeps from before it has a name, and a
// folder by its path.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

std::atomic<long> calls{0};

bool inLocker(const char *path) {
    return std::strstr(path, "/Locker") != nullptr;
}

std::string pathOf(int fd) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t size = ::readlink(link, path, sizeof path - 1);
    return std::string(path, size < 0 ? 0 : static_cast<std::size_t>(size));
}

bool inLocker(int fd) {
    return inLocker(pathOf(fd).c_str());
}

std::string fileOf(const struct stat &info) {
    return "ino:" + std::to_string(info.st_ino);
}

// A regular file by its inode, anything else by its path.
std::string nameOf(int fd) {
    struct stat info;
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? fileOf(info) : pathOf(fd);
}

template <typename Where> bool failNow(const char *call, Where where) {
    const char *wanted = std::getenv("FAULT_CALL");
    if (!wanted || std::strcmp(wanted, call) != 0 || !inLocker(where))
        return false;
    const std::string at = std::getenv("FAULT_AT") ? std::getenv("FAULT_AT") : "";
    const long count = ++calls;
    if (at.ends_with('+') ? count < std::atol(at.c_str()) : count != std::atol(at.c_str()))
        return false;
    if (const char *signal = std::getenv("FAULT_SIGNAL"))
        ::raise(std::atoi(signal));
    const char *error = std::getenv("FAULT_ERRNO");
    errno = error ? std::atoi(error) : EIO;
    return true;
}

template <typename Function> Function real(const char *name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// Logs the line when it concerns the locker: the call was made on where.
template <typename Where> void log(const std::string &line, Where where) {
    const char *file = std::getenv("FAULT_LOG");
    if (!file || !inLocker(where))
        return;
    const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    real<ssize_t (*)(int, const void *, size_t)>("write")(fd, (line + '\n').data(),
                                                          line.size() + 1);
    ::close(fd);
}

} // namespace

extern "C" {

ssize_t write(int fd, const void *data, size_t size) {
    if (failNow("write", fd))
        return -1;
    log("write " + nameOf(fd), fd);
    return real<ssize_t (*)(int, const void *, size_t)>("write")(fd, data, size);
}

int fsync(int fd) {
    if (failNow("fsync", fd))
        return -1;
    log("fsync " + nameOf(fd), fd);
    return real<int (*)(int)>("fsync")(fd);
}

int syncfs(int fd) {
    if (failNow("fsync", fd))
        return -1;
    log("syncfs " + pathOf(fd), fd);
    return real<int (*)(int)>("syncfs")(fd);
}

int rename(const char *from, const char *to) {
    if (failNow("rename", from))
        return -1;
    return real<int (*)(const char *, const char *)>("rename")(from, to);
}

int renameat(int fromDir, const char *from, int toDir, const char *to) {
    if (failNow("rename", fromDir))
        return -1;
    struct stat info {};
    ::fstatat(fromDir, from, &info, AT_SYMLINK_NOFOLLOW);
    log("rename " + pathOf(fromDir) + '/' + from + ' ' + pathOf(toDir) + '/' + to + ' ' +
            fileOf(info),
        fromDir);
    return real<int (*)(int, const char *, int, const char *)>("renameat")(fromDir, from, toDir,
                                                                           to);
}

int openat(int dir, const char *path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const bool creates = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
    const mode_t mode = creates ? va_arg(rest, mode_t) : 0;
    va_end(rest);
    if ((flags & O_CREAT) && failNow("flink", dir))
        return -1;
    return real<int (*)(int, const char *, int, ...)>("openat")(dir, path, flags, mode);
}

int linkat(int fromDir, const char *from, int toDir, const char *to, int flags) {
    if ((flags & AT_EMPTY_PATH) && failNow("flink", toDir))
        return -1;
    return real<int (*)(int, const char *, int, const char *, int)>("linkat")(fromDir, from, toDir,
                                                                              to, flags);
}

ssize_t read(int fd, void *data, size_t size) {
    if (failNow("read", fd))
        return -1;
    return real<ssize_t (*)(int, void *, size_t)>("read")(fd, data, size);
}

DIR *fdopendir(int fd) {
    if (failNow("fdopendir", fd))
        return nullptr;
    return real<DIR *(*)(int)>("fdopendir")(fd);
}

ssize_t pread(int fd, void *data, size_t size, off_t offset) {
    if (failNow("read", fd))
        return -1;
    return real<ssize_t (*)(int, void *, size_t, off_t)>("pread")(fd, data, size, offset);
}
}
