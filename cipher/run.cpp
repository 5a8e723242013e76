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
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

// Works through the files on every core, each file by itself, and gathers the failures.
class Worker {
public:
    Worker(Mode mode, int lockerFd, const std::string &password, Progress &progress)
        : m_mode(mode), m_lockerFd(lockerFd), m_keys(password),
          m_parameters(KeyStore::freshParameters()), m_progress(progress) {}

    std::vector<Failure> process(const std::vector<LockerFile> &files) {
        const std::size_t threads =
            std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, files.size() / 2 + 1);
        std::vector<std::thread> pool;
        for (std::size_t i = 1; i < threads; ++i)
            pool.emplace_back([&] { drain(files); });
        drain(files);
        for (std::thread &thread : pool)
            thread.join();
        return m_failures;
    }

private:
    void drain(const std::vector<LockerFile> &files) {
        for (std::size_t i = m_next++; i < files.size(); i = m_next++) {
            const Replacement result = processOne(files[i]);
            m_progress.fileDone(files[i].size, !result.error.empty());
            if (!result.error.empty()) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_failures.push_back({files[i].path(), result.error, result.replaced});
            }
        }
    }

    Replacement processOne(const LockerFile &file) {
        const int dirFd = openLockerFolder(m_lockerFd, file.folder);
        if (dirFd < 0)
            return {std::string("cannot open its folder: ") + std::strerror(errno)};
        Replacement result =
            m_mode == Mode::Encrypt ? encrypt(dirFd, file.name) : decrypt(dirFd, file.name);
        ::close(dirFd);
        return result;
    }

    // One key for every file this run encrypts, derived when the first one needs it.
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
    KeyStore m_keys;
    KeyParameters m_parameters;
    Progress &m_progress;
    std::atomic<std::size_t> m_next{0};
    std::mutex m_mutex;
    std::vector<Failure> m_failures;
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
    const Note note(lockerFd);
    const Listing listing =
        collectFiles(lockerFd, [&](const std::string &name) { return note.isOurs(name); });
    Progress progress(listing.files, listing.unlisted.size());
    std::vector<Failure> failures = listing.unlisted;
    for (Failure &failure : Worker(mode, lockerFd, password, progress).process(listing.files))
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
