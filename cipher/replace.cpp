#include "cipher/replace.h"

#include "cipher/lease.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

constexpr std::size_t kSuffixSize = 6;
constexpr char kTemporaryMark[] = "user.zentil.temporary";

std::string systemError(const char *what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string randomSuffix() {
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix(kSuffixSize, 'x');
    for (char &c : suffix)
        c = alphabet[randombytes_uniform(sizeof alphabet - 1)];
    return suffix;
}

bool isTemporaryName(const std::string &name) {
    const std::size_t prefixSize = sizeof kTemporaryPrefix - 1;
    return name.size() == prefixSize + kSuffixSize &&
           name.compare(0, prefixSize, kTemporaryPrefix) == 0;
}

// Creates a new temporary file in the folder, marked as ours; returns its descriptor and name.
int createTemporary(int dirFd, std::string &name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = kTemporaryPrefix + randomSuffix();
        const int fd = ::openat(dirFd, name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::fsetxattr(fd, kTemporaryMark, name.data(), name.size(), 0);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Attributes that only the system or a privileged process may set; where they cannot be
// copied, the file goes on without them rather than stay unprotected.
bool privileged(const std::string &name) {
    return name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
}

// Copies the extended attributes, access lists included, from one file to the other.
std::string copyAttributes(int in, int out) {
    std::vector<char> names(64 * 1024), value(64 * 1024);
    const ssize_t size = ::flistxattr(in, names.data(), names.size());
    if (size < 0)
        return errno == ENOTSUP ? std::string() : systemError("cannot read its attributes");
    for (const char *name = names.data(); name < names.data() + size;
         name += std::strlen(name) + 1) {
        if (std::strcmp(name, kTemporaryMark) == 0)
            continue; // left behind where the file's owner is another user
        const ssize_t valueSize = ::fgetxattr(in, name, value.data(), value.size());
        if ((valueSize < 0 || ::fsetxattr(out, name, value.data(), valueSize, 0) != 0) &&
            !(privileged(name) && (errno == EPERM || errno == ENOTSUP)))
            return systemError((std::string("cannot keep its attribute ") + name).c_str());
    }
    return {};
}

// Gives the written file the old one's owner (where this process may), mode, extended
// attributes and times, and puts it on disk. The owner comes first: a change of owner clears
// the set-user-id bit.
std::string finish(int in, int out, const struct stat &original) {
    const struct timespec times[2] = {original.st_atim, original.st_mtim};
    if (::fchown(out, original.st_uid, original.st_gid) != 0 && errno != EPERM)
        return systemError("cannot set the owner");
    if (::fchmod(out, original.st_mode & 07777) != 0)
        return systemError("cannot set the mode");
    if (std::string error = copyAttributes(in, out); !error.empty())
        return error;
    if (::futimens(out, times) != 0)
        return systemError("cannot set the time");
    if (::fsync(out) != 0)
        return systemError("cannot flush");
    return {};
}

// True while the name still holds the file that was opened.
bool sameName(int dirFd, const std::string &name, const struct stat &original) {
    struct stat now;
    return ::fstatat(dirFd, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
           now.st_dev == original.st_dev && now.st_ino == original.st_ino;
}

} // namespace

bool isOurTemporary(int dirFd, const std::string &name) {
    if (!isTemporaryName(name))
        return false;
    const Fd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    char mark[kSuffixSize + sizeof kTemporaryPrefix];
    const ssize_t size =
        fd.get() < 0 ? -1 : ::fgetxattr(fd.get(), kTemporaryMark, mark, sizeof mark);
    return size >= 0 &&
           name.compare(0, std::string::npos, mark, static_cast<std::size_t>(size)) == 0;
}

Replacement replaceInPlace(int dirFd, const std::string &name, const Transform &transform,
                           const std::function<bool(int in)> &wanted) {
    // The name may have been given to a FIFO or a device since the listing: opening without
    // blocking keeps zentil from waiting forever for a writer, and the type is read from what
    // was opened.
    const Fd in(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat original;
    if (in.get() < 0 || ::fstat(in.get(), &original) != 0)
        return {systemError("cannot open")};
    if (!S_ISREG(original.st_mode))
        return {};
    if (original.st_nlink > 1)
        return {"it has more than one name (hard links), which a replacement would split"};
    // Replacing a file that someone writes to would send their writes to the old file, lost.
    const ReadLease lease(in.get(), original);
    if (!lease.taken())
        return {kInUse};
    if (!wanted(in.get()))
        return {};

    std::string temporary;
    const Fd out(createTemporary(dirFd, temporary));
    if (out.get() < 0)
        return {systemError("cannot create a temporary file")};
    std::string error = transform(in.get(), out.get());
    if (error.empty())
        error = finish(in.get(), out.get(), original);
    if (error.empty() && !(lease.unchanged() && sameName(dirFd, name, original)))
        error = kInUse;
    if (error.empty() && ::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0)
        error = systemError("cannot replace");
    if (!error.empty()) {
        ::unlinkat(dirFd, temporary.c_str(), 0);
        return {error};
    }
    // Under the file's own name the mark no longer matches, so that a crash from here on leaves
    // nothing that could pass for a temporary file; it only goes to keep the file clean.
    ::fremovexattr(out.get(), kTemporaryMark);
    return {{}, true};
}

} // namespace zentil
