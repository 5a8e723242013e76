#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zentil {

// Writes a new file in large blocks. Once a file outgrows one block, a second thread writes the
// blocks while the cipher works on the next ones, straight to the disk (O_DIRECT) where the file
// system allows it: going through the page cache costs more here than the cipher itself.
class Output {
public:
    explicit Output(int fd);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    bool write(const unsigned char *data, std::size_t size);
    // Writes everything still pending, once; false when anything could not be written.
    bool finish();
    // Why the first write that failed failed (an errno value), on whichever thread it ran.
    int error();

private:
    // Gives a block back to the blocks that the next files take.
    struct FreeBuffer {
        void operator()(unsigned char *buffer) const;
    };
    // A block-aligned buffer of one block, and how much of it is filled.
    struct Block {
        std::unique_ptr<unsigned char, FreeBuffer> bytes;
        std::size_t size = 0;
    };

    Block takeBlock();
    void hand(Block block);
    void writeBlocks();
    bool writeBlock(const Block &block);
    bool writeData(const unsigned char *data, std::size_t size);
    bool skip(std::size_t size);
    void fail(int error);
    void setDirect(bool direct);

    int m_fd;
    Block m_block;
    bool m_direct = false;
    // Set by the thread that writes the blocks; read once it has finished.
    bool m_endsInHole = false;
    bool m_finished = false;

    std::thread m_writer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_pending;
    bool m_finishing = false;
    int m_error = 0;
};

} // namespace zentil
