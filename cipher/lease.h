#pragma once

#include <sys/stat.h>

namespace zentil {

// Watches a file that is being replaced for anyone writing to it. A read lease is refused while
// another process holds the file open for writing, and is broken when one opens it later; the
// break lets the opener go on at once, and the file is then no longer ours to replace. Writes
// that need no open of their own (through a mapping made earlier, say) show in the file's size
// and times. Where leases are not to be had, the size and times alone decide.
class ReadLease {
public:
    // Takes the lease on fd, a regular file opened for reading whose state was info.
    ReadLease(int fd, const struct stat &info);
    ~ReadLease();
    ReadLease(const ReadLease &) = delete;
    ReadLease &operator=(const ReadLease &) = delete;

    // False when someone had the file open for writing when the lease was asked for.
    bool taken() const { return m_state != State::Refused; }
    // True while nobody has opened the file for writing, nor changed it, since the lease.
    bool unchanged() const;

private:
    enum class State { Held, Unavailable, Refused };
    int m_fd;
    struct stat m_info;
    State m_state;
};

} // namespace zentil
