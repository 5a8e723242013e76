#include "common/fd.h"

#include <cerrno>
#include <unistd.h>

Fd::~Fd() {
    reset();
}

void Fd::reset(int fd) {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int Fd::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool Fd::close() {
    return ::close(release()) == 0;
}

bool writeAll(int fd, const void *data, std::size_t size) {
    const char *next = static_cast<const char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, next, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        next += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}
