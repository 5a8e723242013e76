#include "cipher/note.h"

#include "cipher/tree.h"
#include "common/atomicfile.h"
#include "common/fd.h"

#include <algorithm>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zentil {

namespace {

constexpr char kCheckLabel[] = "zentil note check: ";
constexpr std::size_t kCheckSize = 16;
// A note names its files one a line; far larger files are not notes.
constexpr off_t kLargestNote = 64 << 20;
constexpr int kNoteNames = 9;

std::string checkLine(const std::string &text) {
    unsigned char check[kCheckSize];
    crypto_generichash(check, sizeof check, reinterpret_cast<const unsigned char *>(text.data()),
                       text.size(), nullptr, 0);
    char hex[2 * kCheckSize + 1];
    sodium_bin2hex(hex, sizeof hex, check, sizeof check);
    return std::string(kCheckLabel) + hex + "\n";
}

// The file's contents when it is a small regular file, else nothing.
bool readSmallFile(int dirFd, const std::string &name, std::string &contents) {
    const Fd fd(openToRead(dirFd, name));
    struct stat info;
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > kLargestNote)
        return false;
    contents.resize(static_cast<std::size_t>(info.st_size));
    return ::pread(fd.get(), contents.data(), contents.size(), 0) == info.st_size;
}

bool exists(int dirFd, const std::string &name) {
    struct stat info;
    return ::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::vector<std::string> noteNames() {
    std::vector<std::string> names = {"zentil-errors.txt"};
    for (int i = 2; i <= kNoteNames; ++i)
        names.push_back("zentil-errors-" + std::to_string(i) + ".txt");
    return names;
}

} // namespace

bool Note::isOurs(const std::string &name) const {
    const std::vector<std::string> names = noteNames();
    if (std::find(names.begin(), names.end(), name) == names.end())
        return false;
    std::string contents;
    const std::size_t checkSize = sizeof kCheckLabel - 1 + 2 * kCheckSize + 1;
    if (!readSmallFile(m_lockerFd, name, contents) || contents.size() < checkSize)
        return false;
    const std::string text = contents.substr(0, contents.size() - checkSize);
    return contents.compare(text.size(), checkSize, checkLine(text)) == 0;
}

std::string Note::write(const std::string &text) const {
    for (const std::string &name : noteNames()) {
        if (exists(m_lockerFd, name) && !isOurs(name))
            continue;
        const bool written = writeFileAtomicallyIn(
            m_lockerFd, name, QByteArray::fromStdString(text + checkLine(text)));
        return written ? name : std::string();
    }
    return {};
}

void Note::remove() const {
    for (const std::string &name : noteNames()) {
        if (isOurs(name))
            ::unlinkat(m_lockerFd, name.c_str(), 0);
    }
}

} // namespace zentil
