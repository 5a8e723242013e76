#include "cipher/run.h"

#include "cipher/format.h"
#include "cipher/keys.h"
#include "cipher/progress.h"
#include "cipher/replace.h"
#include "cipher/tree.h"

#include "common/atomicfile.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

struct Failure {
    std::string path;
    std::string reason;
};

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
            const std::string error = processOne(files[i]);
            m_progress.fileDone(files[i].size, !error.empty());
            if (!error.empty()) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_failures.push_back({files[i].path(), error});
            }
        }
    }

    std::string processOne(const LockerFile &file) {
        const int dirFd = openLockerFolder(m_lockerFd, file.folder);
        if (dirFd < 0)
            return "cannot open its folder";
        const std::string error =
            m_mode == Mode::Encrypt ? encrypt(dirFd, file.name) : decrypt(dirFd, file.name);
        ::close(dirFd);
        return error;
    }

    // One key for every file this run encrypts, derived when the first one needs it.
    std::string encrypt(int dirFd, const std::string &name) {
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

    std::string decrypt(int dirFd, const std::string &name) {
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
    std::replace(path.begin(), path.end(), '\n', '?');
    return path;
}

void leaveNote(const std::string &lockerPath, Mode mode, const std::vector<Failure> &failures) {
    std::string note = std::string("zentil could not ") +
                       (mode == Mode::Encrypt ? "encrypt" : "decrypt") +
                       " these files of the locker. They were left exactly as they were.\n\n";
    for (const Failure &failure : failures)
        note += printable(failure.path) + ": " + failure.reason + "\n";
    writeFileAtomically(QFile::decodeName((lockerPath + '/' + kErrorNote).c_str()),
                        QByteArray::fromStdString(note));
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
    const std::vector<LockerFile> files = collectFiles(lockerFd, {kErrorNote});
    Progress progress(files);
    const std::vector<Failure> failures = Worker(mode, lockerFd, password, progress).process(files);
    if (!failures.empty())
        leaveNote(lockerPath, mode, failures);
    else if (mode == Mode::Decrypt)
        ::unlinkat(lockerFd, kErrorNote, 0);
    progress.finish();
    ::close(lockerFd);
    return failures.empty();
}

} // namespace zentil
