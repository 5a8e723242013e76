#include "common/writerlock.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A record holds a path, which is never longer than this.
constexpr qsizetype kRecordLimit = 4096;

QByteArray readRecord(int fd) {
    QByteArray record(kRecordLimit, '\0');
    const ssize_t n = ::pread(fd, record.data(), static_cast<size_t>(record.size()), 0);
    record.truncate(n > 0 ? n : 0);
    return record;
}

} // namespace

WriterLock::WriterLock(const QString &settingsPath)
    : m_fd(::open(QFile::encodeName(settingsPath + QStringLiteral(".lock")).constData(),
                  O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (m_fd.valid() && ::flock(m_fd.get(), LOCK_EX) != 0)
        m_fd.reset();
}

void WriterLock::removeLeftover() {
    const QByteArray temporary = readRecord(m_fd.get());
    struct stat info;
    // Only a regular file: whatever else may have come to bear the name is not ours.
    if (!temporary.isEmpty() && ::lstat(temporary.constData(), &info) == 0 && S_ISREG(info.st_mode))
        ::unlink(temporary.constData());
    clearRecord();
}

bool WriterLock::recordTemporary(const QString &temporary) {
    const QByteArray record = QFile::encodeName(temporary);
    return record.size() < kRecordLimit && ::ftruncate(m_fd.get(), 0) == 0 &&
           ::pwrite(m_fd.get(), record.constData(), static_cast<size_t>(record.size()), 0) ==
               record.size();
}

void WriterLock::clearRecord() {
    // A record that cannot be cleared names a file that is gone by then: no harm.
    [[maybe_unused]] const int ignored = ::ftruncate(m_fd.get(), 0);
}
