#include "cipher/replace.h"

#include "cipher/lease.h"
#include "cipher/tree.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

constexpr char kTemporaryMark[] = "user.zentil.temporary";

// Marks a temporary file as ours, by its own name: a file of the user's never bears the mark that
// matches its name, which no later run could tell from a temporary that a crash left behind.
bool markAsOurs(int fd, const std::string &name) {
    return ::fsetxattr(fd, kTemporaryMark, name.data(), name.size(), 0) == 0;
}

// Attributes that only the system or a privileged process may set; where they cannot be
// copied, the file goes on without them rather than stay unprotected.
bool privileged(const std::string &name) {
    return name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
}

// The names under which the kernel's NTFS driver (ntfs3) shows a file's owner, mode and device
// number: it keeps them itself from chown and chmod, and refuses them to anyone else.
bool keptByTheDriver(const char *name) {
    for (const char *kept : {"$LXUID", "$LXGID", "$LXMOD", "$LXDEV"}) {
        if (std::strcmp(name, kept) == 0)
            return true;
    }
    return false;
}

// Room for the longest list of attribute names and the largest value that Linux allows, kept by
// each thread for its next files: clearing it anew for every file cost more than the copy.
struct AttributeBuffers {
    char names[XATTR_LIST_MAX];
    char value[XATTR_SIZE_MAX];
};

// Copies the extended attributes, access lists included, from one file to the other.
std::string copyAttributes(int in, int out) {
    thread_local std::vector<AttributeBuffers> buffers(1);
    char *const names = buffers.front().names, *const value = buffers.front().value;
    const ssize_t size = ::flistxattr(in, names, XATTR_LIST_MAX);
    if (size < 0)
        return errno == ENOTSUP ? std::string() : systemError("cannot read its attributes");
    for (const char *name = names; name < names + size; name += std::strlen(name) + 1) {
        if (std::strcmp(name, kTemporaryMark) == 0 || keptByTheDriver(name))
            continue; // the mark is left behind where the file's owner is another user
        const ssize_t valueSize = ::fgetxattr(in, name, value, XATTR_SIZE_MAX);
        if ((valueSize < 0 || ::fsetxattr(out, name, value, valueSize, 0) != 0) &&
            !(privileged(name) && (errno == EPERM || errno == ENOTSUP)))
            return systemError((std::string("cannot keep its attribute ") + name).c_str());
    }
    return {};
}

// Gives the written file the old one's owner (where this process may), extended attributes,
// times and mode. The mode comes last: a file that it makes read-only takes no more attributes
// from its owner, and on NTFS it also sets the file's read-only flag. Set-user-id and
// set-group-id are never passed on: given to a locked file by anyone who could change its mode,
// they would come back on a program that runs with its owner's rights.
std::string finish(int in, int out, const struct stat &original) {
    const struct timespec times[2] = {original.st_atim, original.st_mtim};
    if (::fchown(out, original.st_uid, original.st_gid) != 0 && errno != EPERM)
        return systemError("cannot set the owner");
    if (std::string error = copyAttributes(in, out); !error.empty())
        return error;
    if (::futimens(out, times) != 0)
        return systemError("cannot set the time");
    if (::fchmod(out, original.st_mode & 01777) != 0)
        return systemError("cannot set the mode");
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
    if (name.compare(0, sizeof kTemporaryPrefix - 1, kTemporaryPrefix) != 0)
        return false;
    const Fd fd(openToRead(dirFd, name));
    char mark[NAME_MAX];
    const ssize_t size =
        fd.get() < 0 ? -1 : ::fgetxattr(fd.get(), kTemporaryMark, mark, sizeof mark);
    return size >= 0 &&
           name.compare(0, std::string::npos, mark, static_cast<std::size_t>(size)) == 0;
}

StagedReplacement::StagedReplacement(int dirFd, const std::string &name,
                                     const std::function<bool(int in)> &wanted, RunMark &run)
    : m_dir(dirFd), m_name(name) {
    open(run, wanted);
    if (!m_error.empty())
        m_out.reset();
}

void StagedReplacement::open(RunMark &run, const std::function<bool(int in)> &wanted) {
    // The name may have been given to a FIFO or a device since the listing: opening without
    // blocking keeps zentil from waiting forever for a writer, and the type is read from what
    // was opened.
    m_in.reset(openToRead(m_dir, m_name));
    if (m_in.get() < 0 || ::fstat(m_in.get(), &m_original) != 0) {
        m_error = systemError("cannot open");
        return;
    }
    if (!S_ISREG(m_original.st_mode))
        return;
    if (m_original.st_nlink > 1) {
        m_error = "it has more than one name (hard links), which a replacement would split";
        return;
    }
    // Replacing a file that someone writes to would send their writes to the old file, lost.
    m_lease.emplace(m_in.get(), m_original);
    if (!m_lease->taken()) {
        m_error = kInUse;
        return;
    }
    if (!wanted(m_in.get()))
        return;
    m_out.emplace(
        m_dir, m_name, [&run] { return run.temporaryName(); }, markAsOurs);
    if (m_out->fd() < 0)
        m_error = systemError("cannot create a temporary file");
}

void StagedReplacement::write(const Transform &transform) {
    if (!m_out)
        return;
    m_error = transform(m_in.get(), m_out->fd());
    if (m_error.empty())
        m_error = finish(m_in.get(), m_out->fd(), m_original);
    if (!m_error.empty())
        m_out.reset();
}

Replacement StagedReplacement::commit(const std::string &flushError) {
    if (!m_out)
        return {m_error};
    std::string error = flushError;
    if (error.empty() && !(m_lease->unchanged() && sameName(m_dir, m_name, m_original)))
        error = kInUse;
    if (error.empty() && !m_out->commit())
        error = systemError("cannot replace");
    if (!error.empty()) {
        m_out.reset();
        return {error};
    }
    // Under the file's own name the mark no longer matches, so that a crash from here on leaves
    // nothing that could pass for a temporary file; it only goes to keep the file clean.
    ::fremovexattr(m_out->fd(), kTemporaryMark);
    m_out.reset();
    return {{}, true};
}

} // namespace zentil
