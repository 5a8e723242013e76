#include "cipher/output.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace zentil {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
constexpr std::size_t kBlocksInFlight = 4;
constexpr long long kWritebackStep = 8 << 20;

} // namespace

Output::Output(int fd) : m_fd(fd) {
    m_block.reserve(kBlockSize);
}

Output::~Output() {
    finish();
}

bool Output::write(const unsigned char *data, std::size_t size) {
    while (size > 0) {
        const std::size_t part = std::min(size, kBlockSize - m_block.size());
        m_block.insert(m_block.end(), data, data + part);
        data += part;
        size -= part;
        if (m_block.size() == kBlockSize) {
            hand(std::move(m_block));
            m_block = Block();
            m_block.reserve(kBlockSize);
        }
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_failed;
}

bool Output::finish() {
    if (m_writer.joinable()) {
        hand(std::move(m_block));
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_finishing = true;
        }
        m_changed.notify_all();
        m_writer.join();
    } else if (!m_block.empty()) {
        writeBlock(m_block);
    }
    m_block.clear();
    const std::lock_guard<std::mutex> lock(m_mutex);
    return !m_failed;
}

void Output::hand(Block block) {
    if (!m_writer.joinable())
        m_writer = std::thread([this] { writeBlocks(); });
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_pending.size() < kBlocksInFlight; });
    m_pending.push_back(std::move(block));
    lock.unlock();
    m_changed.notify_all();
}

void Output::writeBlocks() {
    for (;;) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pending.empty() || m_finishing; });
        if (m_pending.empty())
            return;
        Block block = std::move(m_pending.front());
        m_pending.pop_front();
        lock.unlock();
        m_changed.notify_all();
        writeBlock(block);
    }
}

// Runs on one thread at a time: the writer thread once it exists, the caller before.
bool Output::writeBlock(const Block &block) {
    const unsigned char *p = block.data();
    std::size_t left = block.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_failed = true;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        m_written += n;
    }
    // Start the disk on what is written so far; only a hint, so its result does not matter.
    if (m_written - m_handedToDisk >= kWritebackStep) {
        ::sync_file_range(m_fd, m_handedToDisk, m_written - m_handedToDisk, SYNC_FILE_RANGE_WRITE);
        m_handedToDisk = m_written;
    }
    return true;
}

} // namespace zentil
