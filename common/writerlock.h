#pragma once

#include "common/fd.h"

#include <QString>

// Serialises the writers of one settings file across processes: an exclusive lock on the
// companion file "<settings file>.lock", held while the object lives, so that the read, change and
// write of one process never interleave with another's.
//
// The lock file also names the temporary file that its holder is writing. A writer that is killed
// half-way leaves that temporary behind, holding settings; the next holder removes it. It is the
// only temporary the store ever removes: the only one it can prove it made.
class WriterLock {
public:
    explicit WriterLock(const QString &settingsPath);
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;

    bool held() const { return m_fd.valid(); }

    // Removes the temporary that a killed holder left behind, if any.
    void removeLeftover();
    // Names the temporary about to be made; false when the name could not be kept.
    bool recordTemporary(const QString &temporary);
    void clearRecord();

private:
    Fd m_fd;
};
