#pragma once

#include <cstddef>

// A file descriptor that closes itself.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd();
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes the descriptor held, if any, and holds fd instead.
    void reset(int fd = -1);
    // Gives the descriptor up without closing it.
    int release();
    // Closes it now; false when the close reports an error, which can mean lost writes.
    bool close();

private:
    int m_fd;
};

// Writes all size bytes at data to fd, going on after interruptions; false on any failure, with
// errno saying why (ENOSPC when the file takes nothing more).
bool writeAll(int fd, const void *data, std::size_t size);
