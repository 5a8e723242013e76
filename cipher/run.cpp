#include "cipher/run.h"

#include "cipher/format.h"
#include "cipher/keys.h"
#include "cipher/note.h"
#include "cipher/progress.h"
#include "cipher/replace.h"
#include "cipher/tree.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

// Files wait on their flushes: many more of them at work than there are cores keep the disk
// busy, and their flushes go to it together.
constexpr std::size_t kThreads = 16;

// Calls work(i) for every i below count, on up to kThreads threads.
void inParallel(std::size_t count, const std::function<void(std::size_t)> &work) {
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < std::min(kThreads, count); ++i)
        pool.emplace_back(drain);
    drain();
    for (std::thread &thread : pool)
        thread.join();
}

// Works through the files, each file by itself, then flushes each folder where it replaced
// files, and gathers the failures.
class Worker {
public:
    Worker(Mode mode, int lockerFd, KeyStore &keys, const KeyParameters &parameters,
           Progress &progress)
        : m_mode(mode), m_lockerFd(lockerFd), m_keys(keys), m_parameters(parameters),
          m_progress(progress) {}

    std::vector<Failure> process(const std::vector<LockerFile> &files) {
        inParallel(files.size(), [&](std::size_t i) { processOne(files[i]); });
        const std::vector<std::pair<std::string, std::vector<std::string>>> folders(
            m_replaced.begin(), m_replaced.end());
        inParallel(folders.size(),
                   [&](std::size_t i) { flush(folders[i].first, folders[i].second); });
        return m_failures;
    }

private:
    void processOne(const LockerFile &file) {
        const Replacement result = replaceIn(file);
        m_progress.fileDone(file.size, !result.error.empty());
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!result.error.empty())
            m_failures.push_back({file.path(), result.error});
        else if (result.replaced)
            m_replaced[file.folder].push_back(file.path());
    }

    Replacement replaceIn(const LockerFile &file) {
        const int dirFd = openLockerFolder(m_lockerFd, file.folder);
        if (dirFd < 0)
            return {std::string("cannot open its folder: ") + std::strerror(errno)};
        Replacement result =
            m_mode == Mode::Encrypt ? encrypt(dirFd, file.name) : decrypt(dirFd, file.name);
        ::close(dirFd);
        return result;
    }

    // Puts the renames of the files replaced in the folder on the disk.
    void flush(const std::string &folder, const std::vector<std::string> &replaced) {
        const int dirFd = openLockerFolder(m_lockerFd, folder);
        if (dirFd >= 0 && ::fsync(dirFd) == 0) {
            ::close(dirFd);
            return;
        }
        const std::string reason = std::string("cannot flush its folder: ") + std::strerror(errno);
        if (dirFd >= 0)
            ::close(dirFd);
        m_progress.failedAfterwards(replaced.size());
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string &path : replaced)
            m_failures.push_back({path, reason, true});
    }

    // One key for every file this run encrypts.
    Replacement encrypt(int dirFd, const std::string &name) {
        return replaceInPlace(
            dirFd, name,
            [this](int in, int out) -> std::string {
                const Progress::Reading reading(m_progress, in);
                const Key *key = m_keys.keyFor(m_parameters);
                if (!key)
                    return "cannot derive the key";
                return encryptStream(in, out, *key, m_parameters);
            },
            [](int in) { return !isEncrypted(in); });
    }

    Replacement decrypt(int dirFd, const std::string &name) {
        return replaceInPlace(
            dirFd, name,
            [this](int in, int out) {
                const Progress::Reading reading(m_progress, in);
                return decryptStream(in, out, m_keys);
            },
            [](int in) { return isEncrypted(in); });
    }

    Mode m_mode;
    int m_lockerFd;
    KeyStore &m_keys;
    const KeyParameters &m_parameters;
    Progress &m_progress;
    std::mutex m_mutex;
    std::vector<Failure> m_failures;
    // The files replaced in each folder, by the folder's path.
    std::map<std::string, std::vector<std::string>> m_replaced;
};

std::string printable(std::string path) {
    if (path.empty())
        return "(the locker itself)";
    std::replace(path.begin(), path.end(), '\n', '?');
    return path;
}

std::string noteLines(const std::vector<Failure> &failures, bool replaced) {
    std::string lines;
    for (const Failure &failure : failures) {
        if (failure.replaced == replaced)
            lines += printable(failure.path) + ": " + failure.reason + "\n";
    }
    return lines;
}

// The files left as they were first, then those replaced whose folder could not be flushed.
std::string noteText(Mode mode, const std::vector<Failure> &failures) {
    const std::string verb = mode == Mode::Encrypt ? "encrypt" : "decrypt";
    std::string note;
    if (const std::string left = noteLines(failures, false); !left.empty())
        note += "zentil could not " + verb +
                " these files and folders of the locker. They were left exactly as they "
                "were.\n\n" +
                left + "\n";
    if (const std::string replaced = noteLines(failures, true); !replaced.empty())
        note += "zentil did " + verb +
                " these files, but could not flush their folders to the disk, so that a power "
                "cut may still undo the change.\n\n" +
                replaced + "\n";
    return note;
}

} // namespace

bool run(Mode mode, const std::string &lockerPath, const std::string &password) {
    // A Locker that is a symbolic link to a folder (kept on another disk, say) is worked on
    // through the link, which its owner put there. Links inside it are never followed.
    const int lockerFd = ::open(lockerPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockerFd < 0)
        return errno == ENOENT; // no locker, nothing to do
    // Runs on one locker take turns: a decrypt started during an encrypt waits for it.
    ::flock(lockerFd, LOCK_EX);
    KeyStore keys(password);
    const KeyParameters parameters = KeyStore::freshParameters();
    // The key takes a while to derive: it is on its way while the locker is listed.
    if (mode == Mode::Encrypt)
        keys.prepare(parameters);
    const Note note(lockerFd);
    const Listing listing =
        collectFiles(lockerFd, [&](const std::string &name) { return note.isOurs(name); });
    Progress progress(listing.files, listing.unlisted.size());
    std::vector<Failure> failures = listing.unlisted;
    for (Failure &failure :
         Worker(mode, lockerFd, keys, parameters, progress).process(listing.files))
        failures.push_back(std::move(failure));
    std::string noteName;
    if (!failures.empty())
        noteName = note.write(lockerPath, noteText(mode, failures));
    else if (mode == Mode::Decrypt)
        note.remove();
    progress.finish(noteName);
    ::close(lockerFd);
    return failures.empty();
}

} // namespace zentil
