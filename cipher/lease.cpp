#include "cipher/lease.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>

namespace zentil {

namespace {

// A real-time signal queues, so that two breaks at once both reach the handler.
int breakSignal() {
    return SIGRTMIN + 1;
}

// Gives the lease up as soon as someone opens the file for writing, so that the writer waits no
// longer than this; the missing lease then tells the replacement that the file is in use.
void onBreak(int, siginfo_t *info, void *) {
    const int saved = errno;
    ::fcntl(info->si_fd, F_SETLEASE, F_UNLCK);
    errno = saved;
}

void handleBreaks() {
    static const bool installed = [] {
        struct sigaction action {};
        action.sa_sigaction = onBreak;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        return ::sigaction(breakSignal(), &action, nullptr) == 0;
    }();
    (void)installed;
}

bool sameTime(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

ReadLease::ReadLease(int fd, const struct stat &info) : m_fd(fd), m_info(info) {
    handleBreaks();
    if (::fcntl(fd, F_SETSIG, breakSignal()) == 0 && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        m_state = State::Held;
    else
        m_state = errno == EAGAIN ? State::Refused : State::Unavailable;
}

ReadLease::~ReadLease() {
    if (m_state == State::Held)
        ::fcntl(m_fd, F_SETLEASE, F_UNLCK);
}

bool ReadLease::unchanged() const {
    struct stat now;
    return m_state != State::Refused &&
           (m_state == State::Unavailable || ::fcntl(m_fd, F_GETLEASE) == F_RDLCK) &&
           ::fstat(m_fd, &now) == 0 && now.st_size == m_info.st_size &&
           sameTime(now.st_mtim, m_info.st_mtim) && sameTime(now.st_ctim, m_info.st_ctim);
}

} // namespace zentil
