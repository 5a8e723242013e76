#pragma once

#include "cipher/report.h"
#include "cipher/tree.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace zentil {

// Counts the work of one run and reports it on standard output (see report.h) a few times a
// second, from a thread of its own so that a large file shows its progress while it is at work.
// Nothing is written once the reader has gone: the run goes on all the same.
class Progress {
public:
    // failedBefore counts what failed before the work began: folders that could not be listed.
    Progress(const std::vector<LockerFile> &files, std::size_t failedBefore);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // While it lives, the bytes already read from fd count as done, and so do all those read
    // once it has gone, until the file is done. Each thread works on one file at a time.
    class Reading {
    public:
        Reading(Progress &progress, int fd);
        ~Reading();
        Reading(const Reading &) = delete;
        Reading &operator=(const Reading &) = delete;

    private:
        Progress &m_progress;
    };

    // The file that this thread worked on has been read, or needed no reading: its bytes are done.
    void fileRead(std::uint64_t size);
    // A file is done: its replacement bears its name, or it needed none, or it failed.
    void fileDone(bool failed);
    // Files counted as done that failed afterwards: their folder could not be flushed.
    void failedAfterwards(std::size_t count);
    // Stops the reports and writes the last one, which says that every file was gone through
    // and names the note that lists the failures, if one was written.
    void finish(const std::string &noteName);

private:
    void reportUntilStopped();
    Report snapshot();
    void stop();

    std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stop = false;
    // A file at work: the descriptor it is read through, or -1 once read, and then how far.
    struct AtWork {
        int fd = -1;
        std::uint64_t read = 0;
    };

    Report m_counts;
    std::map<std::thread::id, AtWork> m_atWork;
    std::thread m_reporter;
};

} // namespace zentil
