#include "cipher/format.h"

#include "cipher/keys.h"
#include "cipher/output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zentil {

namespace {

constexpr unsigned char kMagic[6] = {'Z', 'E', 'N', 'T', 'I', 'L'};
// Version 1 left the header unsealed; version 2 seals it with the first chunk.
constexpr unsigned char kVersionUnsealed = 1;
constexpr unsigned char kVersion = 2;
constexpr std::size_t kStreamHeaderSize = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr std::size_t kHeaderSize = sizeof kMagic + 2 + 8 + 8 + kSaltSize + kStreamHeaderSize;

using Bytes = std::vector<unsigned char>;

// Reads until count bytes or the end of the file, from where the file stands or, when given, at
// offset; returns the number read, or -1.
ssize_t readFull(int fd, unsigned char *buffer, std::size_t count, off_t offset = -1) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = offset < 0 ? ::read(fd, buffer + done, count - done)
                                     : ::pread(fd, buffer + done, count - done,
                                               offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

constexpr off_t kReadAheadStep = 8 << 20;
// Files smaller than this are left to the kernel's own read-ahead: advice costs system calls.
constexpr off_t kAdviseFrom = 1 << 20;

// Reads a file from start to end, asking the disk for the next steps ahead of the cipher, so
// that a large file that is not in the page cache streams at the disk's speed rather than in the
// kernel's small read-ahead windows.
class Input {
public:
    explicit Input(int fd) : m_fd(fd) {}

    ssize_t read(unsigned char *buffer, std::size_t count) {
        if (m_offset >= kAdviseFrom && m_advised == 0)
            ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        while (m_offset >= kAdviseFrom && m_advised < m_offset + 2 * kReadAheadStep) {
            ::posix_fadvise(m_fd, m_advised, kReadAheadStep, POSIX_FADV_WILLNEED);
            m_advised += kReadAheadStep;
        }
        const ssize_t n = readFull(m_fd, buffer, count);
        if (n > 0)
            m_offset += n;
        return n;
    }

private:
    int m_fd;
    off_t m_offset = 0;
    off_t m_advised = 0;
};

// The chunks a stream works on, one set per thread and kept for its next files: allocating and
// clearing them for every file cost more than the cipher on a locker of small files.
struct ChunkBuffers {
    unsigned char plain[2][kChunkSize];
    unsigned char sealed[kChunkSize + kChunkOverhead];
};

ChunkBuffers &chunkBuffers() {
    thread_local std::vector<ChunkBuffers> buffers(1);
    return buffers.front();
}

// The stream's state holds the key: wiped when the stream is done, however it ends.
struct StreamState {
    crypto_secretstream_xchacha20poly1305_state state;
    ~StreamState() { sodium_memzero(&state, sizeof state); }
};

void putU64(unsigned char *out, std::uint64_t value) {
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint64_t getU64(const unsigned char *in) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

// The header up to the stream header, which secretstream supplies.
Bytes headerPrefix(const KeyParameters &parameters) {
    Bytes header(kHeaderSize - kStreamHeaderSize);
    unsigned char *p = header.data();
    std::memcpy(p, kMagic, sizeof kMagic);
    p += sizeof kMagic;
    *p++ = kVersion;
    *p++ = 0;
    putU64(p, parameters.opslimit);
    putU64(p + 8, parameters.memlimit);
    std::memcpy(p + 16, parameters.salt.data(), kSaltSize);
    return header;
}

// What the first bytes of a file claim it to be. Every file that starts with the magic and a
// version claims to be ours, but only the versions and the reserved byte that zentil writes are
// read: any other header is that of a newer zentil, or one that was changed.
enum class Claim { Plain, Ours, Newer, Changed };

Claim claimOf(const unsigned char *header, std::size_t size) {
    if (size <= sizeof kMagic || std::memcmp(header, kMagic, sizeof kMagic) != 0)
        return Claim::Plain;
    const unsigned char version = header[sizeof kMagic];
    if (version > kVersion)
        return Claim::Newer;
    const bool known = version == kVersion || version == kVersionUnsealed;
    return known && size > sizeof kMagic + 1 && header[sizeof kMagic + 1] == 0 ? Claim::Ours
                                                                               : Claim::Changed;
}

KeyParameters parametersOf(const unsigned char *header) {
    const unsigned char *p = header + sizeof kMagic + 2;
    KeyParameters parameters;
    parameters.opslimit = getU64(p);
    parameters.memlimit = getU64(p + 8);
    std::memcpy(parameters.salt.data(), p + 16, kSaltSize);
    return parameters;
}

bool hasOurLimits(const KeyParameters &parameters) {
    return parameters.opslimit == kOpslimit && parameters.memlimit == kMemlimit;
}

std::string readError() {
    return std::string("cannot read: ") + std::strerror(errno);
}

// A file system with a bound on the size of a file (FAT32: under 4 GiB) refuses the write that
// would pass it; the encrypted file is a little larger than the plain one.
constexpr char kTooLarge[] =
    "cannot write: larger than this file system allows for one file (FAT32 holds none of 4 GiB or "
    "more)";

std::string writeError(Output &out) {
    return out.error() == EFBIG ? std::string(kTooLarge)
                                : std::string("cannot write: ") + std::strerror(out.error());
}

// False when the encrypted form of the file in would not fit on FAT32, where out lies: known
// from the size, before gigabytes are written to a slow stick for nothing.
bool fitsOnItsFileSystem(int in, int out) {
    constexpr std::uint64_t kFat32Largest = 0xFFFFFFFF;
    struct stat info;
    struct statfs fileSystem;
    if (::fstat(in, &info) != 0)
        return true;
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t chunks = std::max<std::uint64_t>(1, (size + kChunkSize - 1) / kChunkSize);
    return size + kHeaderSize + chunks * kChunkOverhead <= kFat32Largest ||
           ::fstatfs(out, &fileSystem) != 0 || fileSystem.f_type != MSDOS_SUPER_MAGIC;
}

// Checks the header read from a file (headerSize bytes of it), finds its key and opens its
// stream with it. Returns "" or why the file is refused; limits other than ours are refused
// before any key is derived.
std::string openStream(const Bytes &header, ssize_t headerSize, KeyStore &keys,
                       StreamState &stream) {
    const Claim claim = claimOf(header.data(), static_cast<std::size_t>(headerSize));
    if (claim == Claim::Newer)
        return "made by a newer version of zentil";
    if (static_cast<std::size_t>(headerSize) < kHeaderSize || claim == Claim::Plain)
        return "not an encrypted file of this format";
    if (claim == Claim::Changed)
        return "a header that zentil never writes";
    const KeyParameters parameters = parametersOf(header.data());
    if (!hasOurLimits(parameters))
        return "key limits that zentil never writes";
    const Key *key = keys.keyFor(parameters);
    if (!key && keys.isBeyondBound(parameters))
        return "not tried: the locker holds files under more salts than one run derives keys for "
               "(" +
               std::to_string(KeyStore::kMostKeys) + ")";
    if (!key)
        return "its key cannot be derived from the password";
    if (crypto_secretstream_xchacha20poly1305_init_pull(
            &stream.state, header.data() + kHeaderSize - kStreamHeaderSize, key->data()) != 0)
        return "damaged header";
    return {};
}

// What the first chunk is sealed with besides its data: the whole header in version 2.
Bytes firstChunkData(const Bytes &header) {
    return header[sizeof kMagic] == kVersion ? header : Bytes();
}

bool pull(StreamState &stream, const unsigned char *sealed, ssize_t sealedSize,
          const Bytes &additional, unsigned char *plain, unsigned long long &plainSize,
          unsigned char &tag) {
    return crypto_secretstream_xchacha20poly1305_pull(&stream.state, plain, &plainSize, &tag,
                                                      sealed,
                                                      static_cast<unsigned long long>(sealedSize),
                                                      additional.data(), additional.size()) == 0;
}

} // namespace

bool isLockedUnder(int fd, KeyStore &keys) {
    Bytes header(kHeaderSize);
    const ssize_t headerSize = readFull(fd, header.data(), header.size(), 0);
    StreamState stream;
    if (headerSize < 0 || !openStream(header, headerSize, keys, stream).empty())
        return false;
    ChunkBuffers &buffers = chunkBuffers();
    const ssize_t sealedSize = readFull(fd, buffers.sealed, sizeof buffers.sealed, kHeaderSize);
    unsigned long long plainSize = 0;
    unsigned char tag = 0;
    return sealedSize >= static_cast<ssize_t>(kChunkOverhead) &&
           pull(stream, buffers.sealed, sealedSize, firstChunkData(header), buffers.plain[0],
                plainSize, tag);
}

HeaderClaim headerClaimOf(int fd) {
    unsigned char header[kHeaderSize];
    const ssize_t size = ::pread(fd, header, sizeof header, 0);
    const Claim claim = size < 0 ? Claim::Plain : claimOf(header, static_cast<std::size_t>(size));
    if (claim != Claim::Ours || size != static_cast<ssize_t>(sizeof header))
        return {claim != Claim::Plain, std::nullopt};
    const KeyParameters parameters = parametersOf(header);
    return {true, hasOurLimits(parameters) ? std::optional(parameters) : std::nullopt};
}

std::string encryptStream(int inFd, int outFd, const Key &key, const KeyParameters &parameters) {
    if (!fitsOnItsFileSystem(inFd, outFd))
        return kTooLarge;
    Input in(inFd);
    Output out(outFd);
    StreamState stream;
    Bytes header = headerPrefix(parameters);
    header.resize(kHeaderSize);
    crypto_secretstream_xchacha20poly1305_init_push(
        &stream.state, header.data() + header.size() - kStreamHeaderSize, key.data());
    if (!out.write(header.data(), header.size()))
        return writeError(out);

    // The first chunk seals the whole header with it.
    Bytes sealedHeader = header;
    // One chunk is read ahead, so that the last chunk is known when it is sealed.
    ChunkBuffers &buffers = chunkBuffers();
    unsigned char *current = buffers.plain[0], *next = buffers.plain[1];
    ssize_t currentSize = in.read(current, kChunkSize);
    for (;;) {
        if (currentSize < 0)
            return readError();
        const ssize_t nextSize =
            static_cast<std::size_t>(currentSize) == kChunkSize ? in.read(next, kChunkSize) : 0;
        if (nextSize < 0)
            return readError();
        const bool last = nextSize == 0;
        unsigned long long sealedSize = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &stream.state, buffers.sealed, &sealedSize, current,
            static_cast<unsigned long long>(currentSize), sealedHeader.data(), sealedHeader.size(),
            last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        sealedHeader.clear();
        if (!out.write(buffers.sealed, sealedSize))
            return writeError(out);
        if (last)
            return out.finish() ? std::string() : writeError(out);
        std::swap(current, next);
        currentSize = nextSize;
    }
}

std::string decryptStream(int inFd, int outFd, KeyStore &keys,
                          const std::function<void()> &beforePlaintext) {
    Input in(inFd);
    Output out(outFd);
    Bytes header(kHeaderSize);
    const ssize_t headerSize = in.read(header.data(), header.size());
    if (headerSize < 0)
        return readError();
    StreamState stream;
    if (std::string error = openStream(header, headerSize, keys, stream); !error.empty())
        return error;
    Bytes sealedHeader = firstChunkData(header);
    ChunkBuffers &buffers = chunkBuffers();
    unsigned char *sealed = buffers.sealed, *plain = buffers.plain[0];
    bool first = true;
    for (;;) {
        const ssize_t sealedSize = in.read(sealed, sizeof buffers.sealed);
        if (sealedSize < 0)
            return readError();
        if (static_cast<std::size_t>(sealedSize) < kChunkOverhead)
            return "the file ends before its last chunk (truncated)";
        unsigned long long plainSize = 0;
        unsigned char tag = 0;
        if (!pull(stream, sealed, sealedSize, sealedHeader, plain, plainSize, tag))
            return "does not authenticate (wrong password or damaged data)";
        if (std::exchange(first, false) && beforePlaintext)
            beforePlaintext();
        sealedHeader.clear();
        if (!out.write(plain, plainSize))
            return writeError(out);
        if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL)
            break;
    }
    unsigned char extra;
    const ssize_t extraSize = in.read(&extra, 1);
    if (extraSize < 0)
        return readError();
    if (extraSize > 0)
        return "data after the last chunk";
    return out.finish() ? std::string() : writeError(out);
}

} // namespace zentil
