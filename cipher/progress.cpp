#include "cipher/progress.h"

#include "common/fd.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>

namespace zentil {

namespace {

constexpr std::chrono::milliseconds kInterval{200};

void writeOut(const Report &report) {
    const std::string line = formatReport(report);
    writeAll(STDOUT_FILENO, line.data(), line.size());
}

// A file is read from start to end, so its offset is how far it has been read.
std::uint64_t readSoFar(int fd) {
    return static_cast<std::uint64_t>(std::max<off_t>(::lseek(fd, 0, SEEK_CUR), 0));
}

} // namespace

Progress::Progress(const std::vector<LockerFile> &files, std::size_t failedBefore) {
    m_counts.filesTotal = files.size();
    m_counts.failed = failedBefore;
    for (const LockerFile &file : files)
        m_counts.bytesTotal += file.size;
    m_reporter = std::thread([this] { reportUntilStopped(); });
}

Progress::~Progress() {
    stop();
}

Progress::Reading::Reading(Progress &progress, int fd) : m_progress(progress) {
    const std::lock_guard<std::mutex> lock(m_progress.m_mutex);
    m_progress.m_atWork[std::this_thread::get_id()] = {fd, 0};
}

// The descriptor is about to be closed: what it was read to stays counted.
Progress::Reading::~Reading() {
    const std::lock_guard<std::mutex> lock(m_progress.m_mutex);
    AtWork &file = m_progress.m_atWork[std::this_thread::get_id()];
    file.read = readSoFar(file.fd);
    file.fd = -1;
}

void Progress::fileRead(std::uint64_t size) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_atWork.erase(std::this_thread::get_id());
    m_counts.bytesDone += size;
}

void Progress::fileDone(bool failed) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_counts.filesDone;
    m_counts.failed += failed ? 1 : 0;
}

void Progress::failedAfterwards(std::size_t count) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_counts.failed += count;
}

void Progress::finish(const std::string &noteName) {
    stop();
    Report last = snapshot();
    last.done = true;
    last.note = noteName;
    writeOut(last);
}

void Progress::reportUntilStopped() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        lock.unlock();
        writeOut(snapshot());
        lock.lock();
        m_stopped.wait_for(lock, kInterval, [this] { return m_stop; });
    }
}

// The files at work count by how far they have been read: their descriptors stay open while
// they are listed, so their offsets can be asked for from here.
Report Progress::snapshot() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Report report = m_counts;
    for (const auto &[thread, file] : m_atWork)
        report.bytesDone += file.fd >= 0 ? readSoFar(file.fd) : file.read;
    // Files that grew after they were counted must not run the count past its total.
    report.bytesDone = std::min(report.bytesDone, report.bytesTotal);
    return report;
}

void Progress::stop() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_stopped.notify_all();
    if (m_reporter.joinable())
        m_reporter.join();
}

} // namespace zentil
