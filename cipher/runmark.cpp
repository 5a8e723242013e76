#include "cipher/runmark.h"

#include "common/fd.h"
#include "common/filereplacement.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zentil {

namespace {

constexpr std::size_t kIdSize = 12;
constexpr std::size_t kSuffixSize = 6;
constexpr char kMarkPrefix[] = ".~zentil-run-";
constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";

// Random bytes drawn for many names at once: each draw is a system call.
unsigned char randomByte() {
    thread_local unsigned char pool[256];
    thread_local std::size_t used = sizeof pool;
    if (used == sizeof pool) {
        randombytes_buf(pool, sizeof pool);
        used = 0;
    }
    return pool[used++];
}

std::string randomText(std::size_t size) {
    std::string text(size, 'x');
    for (char &c : text)
        c = kAlphabet[randomByte() % (sizeof kAlphabet - 1)];
    return text;
}

bool isId(const std::string &text) {
    return text.size() == kIdSize && text.find_first_not_of(kAlphabet) == std::string::npos;
}

std::string markName(const std::string &id) {
    return kMarkPrefix + id;
}

// The run whose mark would bear the name, or "".
std::string runOfMark(const std::string &name) {
    const std::size_t prefixSize = sizeof kMarkPrefix - 1;
    const std::string id =
        name.compare(0, prefixSize, kMarkPrefix) == 0 ? name.substr(prefixSize) : std::string();
    return isId(id) ? id : std::string();
}

int isMarkEntry(const dirent *entry) {
    return !runOfMark(entry->d_name).empty();
}

// A mark is an empty regular file: a file with anything in it is never taken for one.
bool isEmptyFile(int lockerFd, const char *name) {
    struct stat info;
    return ::fstatat(lockerFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode) &&
           info.st_size == 0;
}

// Makes the mark under name, on the disk with its folder; like the temporary files, without a
// name and then linked where the file system allows it, else by its name (FAT32, exFAT).
bool makeDurably(int lockerFd, const std::string &name) {
    const Fd unnamed(::openat(lockerFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, S_IRUSR | S_IWUSR));
    const Fd named(unnamed.valid() ? -1
                                   : ::openat(lockerFd, name.c_str(),
                                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                              S_IRUSR | S_IWUSR));
    return (named.valid() || (unnamed.valid() && linkUnnamed(unnamed.get(), lockerFd, name))) &&
           ::fsync(lockerFd) == 0;
}

} // namespace

RunMark::RunMark(int lockerFd) : m_lockerFd(lockerFd), m_id(randomText(kIdSize)) {}

RunMark::~RunMark() {
    if (m_made)
        removeMarks(m_lockerFd, {m_id});
}

std::string RunMark::temporaryName() {
    std::call_once(m_making, [this] { make(); });
    if (!m_made) {
        errno = m_error;
        return {};
    }
    return kTemporaryPrefix + m_id + '-' + randomText(kSuffixSize);
}

void RunMark::make() {
    m_made = makeDurably(m_lockerFd, markName(m_id));
    m_error = errno;
}

std::set<std::string> endedRuns(int lockerFd) {
    dirent **marks = nullptr;
    const int count = ::scandirat(lockerFd, ".", &marks, isMarkEntry, nullptr);
    std::set<std::string> runs;
    for (int i = 0; i < count; ++i) {
        if (isEmptyFile(lockerFd, marks[i]->d_name))
            runs.insert(runOfMark(marks[i]->d_name));
        std::free(marks[i]);
    }
    std::free(marks);
    return runs;
}

bool isTemporaryOf(const std::string &name, const std::set<std::string> &runs) {
    const std::size_t prefixSize = sizeof kTemporaryPrefix - 1;
    return name.size() == prefixSize + kIdSize + 1 + kSuffixSize &&
           name.compare(0, prefixSize, kTemporaryPrefix) == 0 &&
           name[prefixSize + kIdSize] == '-' && runs.count(name.substr(prefixSize, kIdSize)) > 0;
}

bool isMarkOf(const std::string &name, const std::set<std::string> &runs) {
    return runs.count(runOfMark(name)) > 0;
}

void removeMarks(int lockerFd, const std::set<std::string> &runs) {
    if (runs.empty())
        return;
    ::syncfs(lockerFd);
    for (const std::string &id : runs)
        ::unlinkat(lockerFd, markName(id).c_str(), 0);
}

} // namespace zentil
