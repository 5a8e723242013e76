#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace zentil {

// Writes a new file in large blocks. Once a file outgrows one block, a second thread writes the
// blocks while the cipher works on the next ones, and hands what is written to the disk as it
// goes, so that the flush at the end finds little left to do.
class Output {
public:
    explicit Output(int fd);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    bool write(const unsigned char *data, std::size_t size);
    // Writes everything still pending; false when anything could not be written.
    bool finish();

private:
    using Block = std::vector<unsigned char>;

    void hand(Block block);
    void writeBlocks();
    bool writeBlock(const Block &block);

    int m_fd;
    Block m_block;
    long long m_written = 0;
    long long m_handedToDisk = 0;

    std::thread m_writer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_pending;
    bool m_finishing = false;
    bool m_failed = false;
};

} // namespace zentil
