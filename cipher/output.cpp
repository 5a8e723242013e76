#include "cipher/output.h"

#include "common/fd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

constexpr std::size_t kBlockSize = 1 << 20;
// Direct writes need buffers aligned to the disk's blocks; a page covers every disk here.
constexpr std::size_t kAlignment = 4096;
constexpr std::size_t kBlocksInFlight = 4;
// Zeros written as a hole come in aligned stretches of this size.
constexpr std::size_t kHoleSize = std::size_t{64} * 1024;

// True when the stretch that starts here is a whole one of zeros.
bool isHole(const unsigned char *data, std::size_t left) {
    return left >= kHoleSize && data[0] == 0 && std::memcmp(data, data + 1, kHoleSize - 1) == 0;
}

// Blocks that writers gave back, for the next ones to take: mapping and unmapping a block of its
// own for every file costs more than the cipher on a locker of small files. The run keeps no
// more of them than its threads use at once.
constexpr std::size_t kKeptBlocks = 32;

struct KeptBlocks {
    std::mutex mutex;
    std::vector<unsigned char *> blocks;
};

// Never destroyed: a block given back while the process exits still finds it, and the blocks
// stay reachable to the end rather than look leaked.
KeptBlocks &keptBlocks() {
    static KeptBlocks &kept = *new KeptBlocks;
    return kept;
}

unsigned char *newBlock() {
    KeptBlocks &kept = keptBlocks();
    {
        const std::lock_guard<std::mutex> lock(kept.mutex);
        if (!kept.blocks.empty()) {
            unsigned char *block = kept.blocks.back();
            kept.blocks.pop_back();
            return block;
        }
    }
    auto *block = static_cast<unsigned char *>(std::aligned_alloc(kAlignment, kBlockSize));
    if (!block)
        throw std::bad_alloc();
    return block;
}

} // namespace

void Output::FreeBuffer::operator()(unsigned char *buffer) const {
    KeptBlocks &kept = keptBlocks();
    const std::lock_guard<std::mutex> lock(kept.mutex);
    if (kept.blocks.size() < kKeptBlocks)
        kept.blocks.push_back(buffer);
    else
        std::free(buffer);
}

Output::Output(int fd) : m_fd(fd) {
    m_block = takeBlock();
}

Output::~Output() {
    finish();
}

Output::Block Output::takeBlock() {
    Block block;
    block.bytes.reset(newBlock());
    return block;
}

bool Output::write(const unsigned char *data, std::size_t size) {
    while (size > 0) {
        const std::size_t part = std::min(size, kBlockSize - m_block.size);
        std::memcpy(m_block.bytes.get() + m_block.size, data, part);
        m_block.size += part;
        data += part;
        size -= part;
        if (m_block.size == kBlockSize) {
            hand(std::move(m_block));
            m_block = takeBlock();
        }
    }
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error == 0;
}

int Output::error() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

bool Output::finish() {
    if (m_finished)
        return error() == 0;
    m_finished = true;
    if (m_writer.joinable()) {
        hand(std::move(m_block));
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_finishing = true;
        }
        m_changed.notify_all();
        m_writer.join();
    } else if (m_block.size > 0) {
        writeBlock(m_block);
    }
    m_block.size = 0;
    // A file that ends in a hole gets its length here.
    if (m_endsInHole) {
        const off_t end = ::lseek(m_fd, 0, SEEK_CUR);
        if (end < 0 || ::ftruncate(m_fd, end) != 0)
            fail(errno);
    }
    return error() == 0;
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
    setDirect(true);
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

// Runs on one thread at a time: the writer thread once it exists, the caller before. Only whole
// blocks go straight to the disk; the last, partial one goes through the page cache. Whole
// stretches of zeros are left as holes, as a sparse file had them.
bool Output::writeBlock(const Block &block) {
    if (block.size < kBlockSize)
        setDirect(false);
    const unsigned char *bytes = block.bytes.get();
    std::size_t at = 0;
    while (at < block.size) {
        // The longest run from here that is all holes, or that has none.
        const bool hole = isHole(bytes + at, block.size - at);
        std::size_t end = at + std::min(kHoleSize, block.size - at);
        while (end < block.size && isHole(bytes + end, block.size - end) == hole)
            end += std::min(kHoleSize, block.size - end);
        if (!(hole ? skip(end - at) : writeData(bytes + at, end - at)))
            return false;
        at = end;
    }
    return true;
}

bool Output::skip(std::size_t size) {
    m_endsInHole = true;
    if (::lseek(m_fd, static_cast<off_t>(size), SEEK_CUR) >= 0)
        return true;
    fail(errno);
    return false;
}

void Output::fail(int error) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_error == 0)
        m_error = error;
}

bool Output::writeData(const unsigned char *data, std::size_t size) {
    m_endsInHole = false;
    const off_t start = m_direct ? ::lseek(m_fd, 0, SEEK_CUR) : -1;
    if (writeAll(m_fd, data, size))
        return true;
    // A file system that refuses direct writes says so with EINVAL: the same bytes then go again,
    // through the page cache.
    if (errno == EINVAL && start >= 0 && (setDirect(false), !m_direct) &&
        ::lseek(m_fd, start, SEEK_SET) == start && writeAll(m_fd, data, size))
        return true;
    fail(errno);
    return false;
}

// Direct writes are only a way to go faster: where they cannot be had, the page cache serves.
void Output::setDirect(bool direct) {
    if (direct == m_direct)
        return;
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0 && ::fcntl(m_fd, F_SETFL, direct ? flags | O_DIRECT : flags & ~O_DIRECT) == 0)
        m_direct = direct;
}

} // namespace zentil
