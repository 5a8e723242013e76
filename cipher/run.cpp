#include "cipher/run.h"

#include "cipher/format.h"
#include "cipher/keys.h"
#include "cipher/note.h"
#include "cipher/progress.h"
#include "cipher/replace.h"
#include "cipher/runmark.h"
#include "cipher/tree.h"
#include "common/fd.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zentil {

namespace {

// The files are worked on in batches that share one flush of the file system between writing
// their new files and renaming them: a flush of its own for every file would cost the disk a
// commit per file. While one batch is flushed and renamed, the next is written. A batch is
// bounded so that its temporary files take little room on the disk, so that two batches'
// descriptors (three a file) stay within what the process may open, and so that a locker of a
// few hundred MiB already makes several batches whose flushes overlap the writing.
constexpr std::size_t kBatchFiles = 1024;
constexpr std::uint64_t kBatchBytes = 64 << 20;
// A few more threads than cores, so that one waiting for the disk leaves the cores busy.
const std::size_t kThreads = std::thread::hardware_concurrency() + 2;
// Renames and releases mostly wait for the disk: many at once keep it busy.
constexpr std::size_t kReleaseThreads = 16;

// The most files a batch may hold: raises the limit on open descriptors as far as allowed.
std::size_t batchFilesAllowed() {
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 64;
    limit.rlim_cur = std::max(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 8 * kBatchFiles));
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    // Room for the descriptors that are not the files': the folders, the output, the threads.
    const rlim_t perBatch = limit.rlim_cur > 128 ? (limit.rlim_cur - 64) / 6 : 10;
    return static_cast<std::size_t>(std::min<rlim_t>(kBatchFiles, perBatch));
}

// Calls work(i) for every i below count, on up to threads threads.
void inParallel(std::size_t count, const std::function<void(std::size_t)> &work,
                std::size_t threads = kThreads) {
    std::atomic<std::size_t> next{0};
    const auto drain = [&] {
        for (std::size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < std::min(threads, count); ++i)
        pool.emplace_back(drain);
    drain();
    for (std::thread &thread : pool)
        thread.join();
}

// Works through the files batch by batch, then flushes each folder where it replaced files, and
// gathers the failures.
class Worker {
public:
    Worker(Mode mode, int lockerFd, RunMark &runMark, KeyStore &keys,
           const KeyParameters &parameters, Progress &progress, const PlainRecord &plainRecord)
        : m_mode(mode), m_lockerFd(lockerFd), m_runMark(runMark), m_keys(keys),
          m_parameters(parameters), m_progress(progress), m_plainRecord(plainRecord) {}

    std::vector<Failure> process(const std::vector<LockerFile> &files) {
        const std::size_t batchFiles = batchFilesAllowed();
        std::future<void> committing;
        for (std::size_t first = 0; first < files.size();) {
            const std::size_t end = batchEnd(files, first, batchFiles);
            Batch batch = stageBatch(files, first, end);
            if (committing.valid())
                committing.get();
            committing = std::async(std::launch::async, [this, batch = std::move(batch)]() mutable {
                flushAndCommit(batch);
            });
            first = end;
        }
        if (committing.valid())
            committing.get();
        const std::vector<std::pair<std::string, std::vector<std::string>>> folders(
            m_replaced.begin(), m_replaced.end());
        inParallel(folders.size(),
                   [&](std::size_t i) { flush(folders[i].first, folders[i].second); });
        settleRecord();
        return m_failures;
    }

private:
    // A folder of the locker, opened once for all of a batch's files in it; error says why it
    // could not be.
    struct Folder {
        Fd fd;
        std::string error;
    };

    // A file of a batch with its staged replacement, or none where even that failed; stillLocked
    // when what decrypt wrote is itself still locked.
    struct Staged {
        const LockerFile *file = nullptr;
        std::unique_ptr<StagedReplacement> replacement;
        bool stillLocked = false;
    };

    // The folders of a batch's files, by their paths, and the files. The files go first, while
    // their folders are still open.
    struct Batch {
        std::map<std::string, Folder> folders;
        std::vector<Staged> files;
    };

    static std::size_t batchEnd(const std::vector<LockerFile> &files, std::size_t first,
                                std::size_t batchFiles) {
        std::size_t end = first + 1;
        for (std::uint64_t bytes = files[first].size;
             end < files.size() && end - first < batchFiles &&
             bytes + files[end].size <= kBatchBytes;
             ++end)
            bytes += files[end].size;
        return end;
    }

    Batch stageBatch(const std::vector<LockerFile> &files, std::size_t first, std::size_t end) {
        Batch batch;
        batch.folders = openFolders(files, first, end);
        // The files are opened first and written after: opening needs no key, and goes on while
        // the first key is still being derived.
        batch.files.resize(end - first);
        inParallel(batch.files.size(), [&](std::size_t i) {
            const LockerFile &file = files[first + i];
            batch.files[i] = {&file, open(file, batch.folders.at(file.folder))};
        });
        inParallel(batch.files.size(), [&](std::size_t i) {
            Staged &staged = batch.files[i];
            if (staged.replacement)
                staged.replacement->write(m_mode == Mode::Encrypt ? encryptor()
                                                                  : decryptor(staged.stillLocked));
            m_progress.fileRead(staged.file->size);
        });
        return batch;
    }

    std::map<std::string, Folder> openFolders(const std::vector<LockerFile> &files,
                                              std::size_t first, std::size_t end) const {
        std::map<std::string, Folder> folders;
        for (std::size_t i = first; i < end; ++i)
            folders.try_emplace(files[i].folder);
        for (auto &[path, folder] : folders) {
            folder.fd.reset(openLockerFolder(m_lockerFd, path));
            if (!folder.fd.valid())
                folder.error = systemError("cannot open its folder");
        }
        return folders;
    }

    // Puts the batch's new files on the disk, then gives them their names; a file counts as done
    // once its new file bears its name, or it has failed. The originals are let go on many
    // threads: where the file system discards the blocks of a file as it is freed, each release
    // waits for the disk.
    void flushAndCommit(Batch &batch) {
        const std::string flushError =
            ::syncfs(m_lockerFd) == 0 ? std::string() : systemError("cannot flush");
        inParallel(
            batch.files.size(),
            [&](std::size_t i) {
                Staged &staged = batch.files[i];
                m_progress.fileDone(!staged.replacement || !commit(staged, flushError));
                staged.replacement.reset();
            },
            kReleaseThreads);
    }

    std::unique_ptr<StagedReplacement> open(const LockerFile &file, const Folder &folder) {
        if (!folder.fd.valid()) {
            record(file, {folder.error});
            return nullptr;
        }
        // A file that only begins like a locked one, or was locked under another password, is
        // encrypted like any other: left as it is, it would stay readable under "encrypted".
        if (m_mode == Mode::Encrypt)
            return replacement(folder.fd.get(), file.name,
                               [this](int in) { return !isLockedUnder(in, m_keys); });
        // The first file that claims to be encrypted starts the record, which is then written
        // while the key is derived.
        return replacement(folder.fd.get(), file.name, [this](int in) {
            const HeaderClaim header = headerClaimOf(in);
            if (header.claimsEncrypted && m_plainRecord.record)
                std::call_once(m_recordStarted, [this] {
                    m_recording = std::async(std::launch::async, m_plainRecord.record);
                });
            return header.claimsEncrypted;
        });
    }

    // The file's replacement, with temporary files named after this run.
    std::unique_ptr<StagedReplacement> replacement(int dirFd, const std::string &name,
                                                   const std::function<bool(int in)> &wanted) {
        return std::make_unique<StagedReplacement>(dirFd, name, wanted, m_runMark);
    }

    // Only files that claimed to be encrypted get this far, so the record is on its way; every
    // thread that comes with plain data waits until it is written.
    void awaitRecord() {
        std::call_once(m_plainAllowed, [this] {
            if (m_recording.valid())
                m_recording.wait();
        });
    }

    // A record written for a run that then decrypted no file is put back as it was.
    void settleRecord() {
        if (!m_recording.valid())
            return;
        m_recording.get();
        if (!m_madePlain && m_plainRecord.undo)
            m_plainRecord.undo();
    }

    // True when the file is in the wanted state: one still locked is not.
    bool commit(const Staged &staged, const std::string &flushError) {
        const Replacement result = staged.replacement->commit(flushError);
        record(*staged.file, result, staged.stillLocked);
        return result.error.empty() && !staged.stillLocked;
    }

    // A file still locked under another password is named, and its folder flushed; only the
    // others count as decrypted.
    void record(const LockerFile &file, const Replacement &result, bool stillLocked = false) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!result.error.empty()) {
            m_failures.push_back({file.path(), result.error});
        } else if (result.replaced && stillLocked) {
            m_replaced[file.folder];
            m_failures.push_back({file.path(), "still locked under another password",
                                  Failure::Outcome::StillLocked});
        } else if (result.replaced) {
            m_replaced[file.folder].push_back(file.path());
            m_madePlain = true;
        }
    }

    // Puts the renames of the files replaced in the folder on the disk.
    void flush(const std::string &folder, const std::vector<std::string> &replaced) {
        const Fd dir(openLockerFolder(m_lockerFd, folder));
        if (dir.valid() && ::fsync(dir.get()) == 0)
            return;
        const std::string reason = systemError("cannot flush its folder");
        m_progress.failedAfterwards(replaced.size());
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string &path : replaced)
            m_failures.push_back({path, reason, Failure::Outcome::Unflushed});
    }

    // One key for every file this run encrypts.
    Transform encryptor() {
        return [this](int in, int out) -> std::string {
            const Progress::Reading reading(m_progress, in);
            const Key *key = m_keys.keyFor(m_parameters);
            if (!key)
                return "cannot derive the key";
            return encryptStream(in, out, *key, m_parameters);
        };
    }

    // Each file's own: stillLocked tells whether what it wrote is still locked.
    Transform decryptor(bool &stillLocked) {
        return [this, &stillLocked](int in, int out) {
            const Progress::Reading reading(m_progress, in);
            Decrypted decrypted = decryptStream(in, out, m_keys, [this] { awaitRecord(); });
            stillLocked = decrypted.stillLocked;
            return decrypted.error;
        };
    }

    Mode m_mode;
    int m_lockerFd;
    RunMark &m_runMark;
    KeyStore &m_keys;
    const KeyParameters &m_parameters;
    Progress &m_progress;
    const PlainRecord &m_plainRecord;
    std::once_flag m_recordStarted;
    std::future<void> m_recording;
    std::once_flag m_plainAllowed;
    std::mutex m_mutex;
    std::vector<Failure> m_failures;
    // The folders where files were replaced, by their paths, with the files that took the
    // wanted state there.
    std::map<std::string, std::vector<std::string>> m_replaced;
    bool m_madePlain = false;
};

// The salts of the locker's encrypted files, those that most files share first (in the order the
// files were listed, where as many share them), each with the first file found under it; the key
// of the first salt found is started at once.
std::vector<KeyParameters> commonestSaltsFirst(int lockerFd, const std::vector<LockerFile> &files,
                                               KeyStore &keys,
                                               std::map<KeyParameters, LockerFile> &firstFiles) {
    std::map<KeyParameters, std::size_t> counts;
    std::vector<KeyParameters> order;
    Fd folder;
    const std::string *folderPath = nullptr;
    for (const LockerFile &file : files) {
        if (!folderPath || *folderPath != file.folder)
            folder.reset(openLockerFolder(lockerFd, file.folder));
        folderPath = &file.folder;
        const Fd fd(openToRead(folder.get(), file.name));
        const std::optional<KeyParameters> parameters =
            fd.valid() ? headerClaimOf(fd.get()).parameters : std::nullopt;
        if (!parameters)
            continue;
        keys.prepareFirst(*parameters);
        if (counts[*parameters]++ == 0) {
            order.push_back(*parameters);
            firstFiles.emplace(*parameters, file);
        }
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](const auto &a, const auto &b) { return counts[a] > counts[b]; });
    return order;
}

// A decrypt tries the salts of the whole locker, those that most files share first, so that
// files planted with salts of their own crowd out none of the locker's, wherever they lie and
// whatever their size. Each salt is tried on a file that bears it.
void trySaltsOfTheLocker(int lockerFd, const std::vector<LockerFile> &files, KeyStore &keys) {
    // The run's descriptor may be closed before the last try has ended.
    const auto locker = std::make_shared<Fd>(::fcntl(lockerFd, F_DUPFD_CLOEXEC, 0));
    const auto firstFiles = std::make_shared<std::map<KeyParameters, LockerFile>>();
    keys.tryInOrder(
        [locker, files, firstFiles, &keys] {
            return commonestSaltsFirst(locker->get(), files, keys, *firstFiles);
        },
        [locker, firstFiles, &keys](const KeyParameters &parameters) {
            const LockerFile &file = firstFiles->at(parameters);
            const Fd folder(openLockerFolder(locker->get(), file.folder));
            const Fd fd(openToRead(folder.get(), file.name));
            return fd.valid() && isLockedUnder(fd.get(), keys);
        });
}

std::string printable(std::string path) {
    if (path.empty())
        return "(the locker itself)";
    std::replace(path.begin(), path.end(), '\n', '?');
    return path;
}

std::string noteLines(const std::vector<Failure> &failures, Failure::Outcome outcome) {
    std::string lines;
    for (const Failure &failure : failures) {
        if (failure.outcome == outcome)
            lines += printable(failure.path) + ": " + failure.reason + "\n";
    }
    return lines;
}

// The files left as they were first, then those still locked, then those replaced whose folder
// could not be flushed.
std::string noteText(Mode mode, const std::vector<Failure> &failures) {
    const std::string verb = mode == Mode::Encrypt ? "encrypt" : "decrypt";
    std::string note;
    if (const std::string left = noteLines(failures, Failure::Outcome::Left); !left.empty())
        note += "zentil could not " + verb +
                " these files and folders of the locker. They were left exactly as they "
                "were.\n\n" +
                left + "\n";
    if (const std::string locked = noteLines(failures, Failure::Outcome::StillLocked);
        !locked.empty())
        note += "zentil could not decrypt these files whole: each holds a file locked under "
                "another password, which opens once that password is in force again. The lock "
                "of this password was taken off them.\n\n" +
                locked + "\n";
    if (const std::string replaced = noteLines(failures, Failure::Outcome::Unflushed);
        !replaced.empty())
        note += "zentil did " + verb +
                " these files, but could not flush their folders to the disk, so that a power "
                "cut may still undo the change.\n\n" +
                replaced + "\n";
    return note;
}

} // namespace

bool run(Mode mode, const std::string &lockerPath, const std::string &password,
         const PlainRecord &plainRecord) {
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
    // No run can be at work here (runmark.h): every mark left is an ended run's.
    const std::set<std::string> ended = endedRuns(lockerFd);
    const Listing listing = collectFiles(lockerFd, ended, [&](const std::string &name) {
        return note.isOurs(name) || isMarkOf(name, ended);
    });
    // A mark goes with the last of its temporaries, so that a folder that could not be listed
    // this time still has its leftovers removed by a later run.
    if (listing.everyLeftoverGone())
        removeMarks(lockerFd, ended);
    if (mode == Mode::Decrypt)
        trySaltsOfTheLocker(lockerFd, listing.files, keys);
    Progress progress(listing.files, listing.unlisted.size());
    std::vector<Failure> failures = listing.unlisted;
    {
        RunMark runMark(lockerFd);
        for (Failure &failure :
             Worker(mode, lockerFd, runMark, keys, parameters, progress, plainRecord)
                 .process(listing.files))
            failures.push_back(std::move(failure));
    }
    // A note of an earlier run would contradict a run without failures.
    std::string noteName;
    if (failures.empty())
        note.remove();
    else
        noteName = note.write(noteText(mode, failures));
    progress.finish(noteName);
    ::close(lockerFd);
    return failures.empty();
}

} // namespace zentil
