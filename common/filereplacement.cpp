#include "common/filereplacement.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A name taken this many times over is not down to chance.
constexpr int kAttempts = 100;

} // namespace

// Linux 6.10 and later link an unnamed file by its descriptor; before, only a privileged process
// may, and the others go through /proc, at the cost of a lookup there for every file.
bool linkUnnamed(int fd, int dirFd, const std::string &name) {
    if (::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    if (errno != ENOENT && errno != EPERM)
        return false;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

FileReplacement::FileReplacement(int dirFd, std::string target, const Names &names,
                                 const Mark &mark)
    : m_dir(dirFd), m_target(std::move(target)) {
    if (!(mark && createUnnamed(names, mark)))
        createNamed(names, mark);
}

FileReplacement::~FileReplacement() {
    discard();
}

bool FileReplacement::createUnnamed(const Names &names, const Mark &mark) {
    m_file.reset(::openat(m_dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (!m_file.valid())
        return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = names();
        if (name.empty() || !mark(m_file.get(), name))
            break;
        if (linkUnnamed(m_file.get(), m_dir, name)) {
            m_temporary = name;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    m_file.reset();
    return false;
}

void FileReplacement::createNamed(const Names &names, const Mark &mark) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const std::string name = names();
        if (name.empty())
            return;
        m_file.reset(::openat(m_dir, name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              S_IRUSR | S_IWUSR));
        if (m_file.valid()) {
            m_temporary = name;
            if (mark)
                mark(m_file.get(), name);
            return;
        }
        if (errno != EEXIST)
            return;
    }
}

bool FileReplacement::commit() {
    if (::renameat(m_dir, m_temporary.c_str(), m_dir, m_target.c_str()) != 0) {
        discard();
        return false;
    }
    m_temporary.clear();
    return true;
}

bool FileReplacement::commitDurably() {
    const bool onDisk = ::fsync(m_file.get()) == 0;
    if (!m_file.close() || !onDisk || !commit()) {
        discard();
        return false;
    }
    const Fd folder(::openat(m_dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.valid() && ::fsync(folder.get()) == 0;
}

void FileReplacement::discard() {
    const int error = errno;
    if (!m_temporary.empty())
        ::unlinkat(m_dir, m_temporary.c_str(), 0);
    m_temporary.clear();
    m_file.reset();
    errno = error;
}
