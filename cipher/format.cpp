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

// Bytes read in full, count of them or up to the end: a file, or the plain data of a layer of
// encryption around another. read() gives -1 when it fails, and error() says why.
class Source {
public:
    virtual ssize_t read(unsigned char *buffer, std::size_t count) = 0;
    virtual std::string error() const = 0;

protected:
    ~Source() = default;
};

// Reads a file from start to end, asking the disk for the next steps ahead of the cipher, so
// that a large file that is not in the page cache streams at the disk's speed rather than in the
// kernel's small read-ahead windows.
class Input final : public Source {
public:
    explicit Input(int fd) : m_fd(fd) {}

    ssize_t read(unsigned char *buffer, std::size_t count) override {
        if (m_offset >= kAdviseFrom && m_advised == 0)
            ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        while (m_offset >= kAdviseFrom && m_advised < m_offset + 2 * kReadAheadStep) {
            ::posix_fadvise(m_fd, m_advised, kReadAheadStep, POSIX_FADV_WILLNEED);
            m_advised += kReadAheadStep;
        }
        const ssize_t n = readFull(m_fd, buffer, count);
        if (n > 0)
            m_offset += n;
        m_errno = n < 0 ? errno : 0;
        return n;
    }

    std::string error() const override {
        return std::string("cannot read: ") + std::strerror(m_errno);
    }

private:
    int m_fd;
    int m_errno = 0;
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

// How the key of a file that begins with these bytes was derived, where they are a whole header
// that zentil writes, with the only limits it accepts.
std::optional<KeyParameters> ourParameters(const unsigned char *header, std::size_t size) {
    if (size < kHeaderSize || claimOf(header, size) != Claim::Ours)
        return std::nullopt;
    const KeyParameters parameters = parametersOf(header);
    return hasOurLimits(parameters) ? std::optional(parameters) : std::nullopt;
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

// The first use of a key tells the store whether it opened anything: a use that ends before a
// first chunk authenticated under it opened nothing.
class FirstUse {
public:
    explicit FirstUse(KeyStore &keys) : m_keys(keys) {}
    ~FirstUse() { end(false); }
    FirstUse(const FirstUse &) = delete;
    FirstUse &operator=(const FirstUse &) = delete;

    void of(const KeyParameters &parameters) { m_parameters = parameters; }
    void end(bool opened) {
        if (m_parameters)
            m_keys.tried(*std::exchange(m_parameters, std::nullopt), opened);
    }

private:
    KeyStore &m_keys;
    std::optional<KeyParameters> m_parameters;
};

// Checks the header read from a file (headerSize bytes of it), finds its key (KeyStore::keyFor)
// and opens its stream with it. Returns "" or why the file is refused; limits other than ours are
// refused before any key is derived.
std::string openStream(const Bytes &header, ssize_t headerSize, KeyStore &keys, StreamState &stream,
                       FirstUse &use, bool waitForRoom = true) {
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
    const Key *key = keys.keyFor(parameters, waitForRoom);
    if (!key && keys.isBeyondBound(parameters))
        return "not tried: " + std::to_string(KeyStore::kMostFailing) +
               " keys of this run opened nothing, and a run derives no more";
    if (!key)
        return "its key cannot be derived from the password";
    use.of(parameters);
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

// One layer of encryption, read from its source chunk by chunk: the file, or the plain data of
// the layer around it.
class Layer {
public:
    // sealed has room for a sealed chunk, for this layer alone.
    Layer(Source &source, KeyStore &keys, unsigned char *sealed)
        : m_source(source), m_keys(keys), m_use(keys), m_sealed(sealed) {}

    // Reads the header and opens the stream: "" or why the layer is refused.
    std::string open() {
        m_header.resize(kHeaderSize);
        const ssize_t size = m_source.read(m_header.data(), m_header.size());
        if (size < 0)
            return m_source.error();
        std::string error = openStream(m_header, size, m_keys, m_stream, m_use);
        m_additional = firstChunkData(m_header);
        return error;
    }

    // Puts the plain data of the next chunk into plain, which has room for kChunkSize bytes:
    // returns "" or why the layer is refused. last tells the final chunk, once nothing follows.
    std::string next(unsigned char *plain, std::size_t &size, bool &last) {
        const ssize_t sealedSize = m_source.read(m_sealed, kChunkSize + kChunkOverhead);
        if (sealedSize < 0)
            return m_source.error();
        if (static_cast<std::size_t>(sealedSize) < kChunkOverhead)
            return "the file ends before its last chunk (truncated)";
        unsigned long long plainSize = 0;
        unsigned char tag = 0;
        const bool opened =
            pull(m_stream, m_sealed, sealedSize, m_additional, plain, plainSize, tag);
        m_use.end(opened);
        if (!opened)
            return "does not authenticate (wrong password or damaged data)";
        m_additional.clear();
        size = static_cast<std::size_t>(plainSize);
        last = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        unsigned char extra;
        const ssize_t extraSize = last ? m_source.read(&extra, 1) : 0;
        if (extraSize < 0)
            return m_source.error();
        return extraSize > 0 ? "data after the last chunk" : "";
    }

private:
    Source &m_source;
    KeyStore &m_keys;
    FirstUse m_use;
    unsigned char *m_sealed;
    Bytes m_header;
    Bytes m_additional;
    StreamState m_stream;
};

// The plain data of a layer, from its first chunk on, as the source of a layer within it. While
// a layer within is tried, what it reads is kept, so that the data can be written as it is when
// that layer does not open.
class PlainData final : public Source {
public:
    PlainData(Layer &layer, const unsigned char *first, std::size_t size, bool last)
        : m_layer(layer), m_chunk(first, first + size), m_last(last) {
        m_chunk.resize(kChunkSize);
        m_size = size;
    }

    ssize_t read(unsigned char *buffer, std::size_t count) override {
        std::size_t done = 0;
        while (done < count && (m_at < m_size || !m_last)) {
            if (m_at == m_size && !fill())
                return -1;
            const std::size_t n = std::min(count - done, m_size - m_at);
            std::memcpy(buffer + done, m_chunk.data() + m_at, n);
            if (m_keeping)
                m_kept.insert(m_kept.end(), buffer + done, buffer + done + n);
            m_at += n;
            done += n;
        }
        return static_cast<ssize_t>(done);
    }

    std::string error() const override { return m_error; }
    bool failed() const { return !m_error.empty(); }
    // What was read since the layer within began to be tried; reading keeps nothing after.
    Bytes kept() {
        m_keeping = false;
        return std::move(m_kept);
    }

private:
    bool fill() {
        m_at = 0;
        m_error = m_layer.next(m_chunk.data(), m_size, m_last);
        return m_error.empty();
    }

    Layer &m_layer;
    Bytes m_chunk;
    std::size_t m_size = 0;
    std::size_t m_at = 0;
    bool m_last;
    bool m_keeping = true;
    Bytes m_kept;
    std::string m_error;
};

// Beyond this many layers a file is taken as it is: each lock adds at most one, and a file of a
// few bytes more for every layer must not take the memory of two chunks for each.
constexpr int kMostLayers = 16;

// Writes first, then the rest of source, to out.
Decrypted copyRest(Source &source, Output &out, const Bytes &first) {
    if (!out.write(first.data(), first.size()))
        return {writeError(out)};
    Bytes chunk(kChunkSize);
    for (;;) {
        const ssize_t size = source.read(chunk.data(), chunk.size());
        if (size < 0)
            return {source.error()};
        if (size == 0)
            return {};
        if (!out.write(chunk.data(), static_cast<std::size_t>(size)))
            return {writeError(out)};
    }
}

// Writes the plain data of layer, whose first chunk is in plain, to out.
Decrypted writeLayer(Layer &layer, unsigned char *plain, std::size_t size, bool last, Output &out) {
    for (;;) {
        if (!out.write(plain, size))
            return {writeError(out)};
        if (last)
            return {};
        if (std::string error = layer.next(plain, size, last); !error.empty())
            return {error};
    }
}

// Writes the plain data of layer, whose first chunk is in plain, to out. When that data is itself
// a file of ours, the layer within is taken off too if it opens under the password; if it does
// not, the data is written as it is, still locked.
Decrypted writePlain(Layer &layer, unsigned char *plain, std::size_t size, bool last, Output &out,
                     KeyStore &keys, int depth = 1) {
    if (!ourParameters(plain, size))
        return writeLayer(layer, plain, size, last, out);
    PlainData data(layer, plain, size, last);
    if (depth < kMostLayers) {
        Bytes sealed(kChunkSize + kChunkOverhead), innerPlain(kChunkSize);
        Layer inner(data, keys, sealed.data());
        std::size_t innerSize = 0;
        bool innerLast = false;
        std::string error = inner.open();
        if (error.empty())
            error = inner.next(innerPlain.data(), innerSize, innerLast);
        if (data.failed())
            return {data.error()};
        if (error.empty()) {
            data.kept();
            return writePlain(inner, innerPlain.data(), innerSize, innerLast, out, keys, depth + 1);
        }
    }
    Decrypted written = copyRest(data, out, data.kept());
    written.stillLocked = true;
    return written;
}

} // namespace

bool isLockedUnder(int fd, KeyStore &keys) {
    Bytes header(kHeaderSize);
    const ssize_t headerSize = readFull(fd, header.data(), header.size(), 0);
    StreamState stream;
    FirstUse use(keys);
    // A lock does not wait for room under the bound: a file it does not check, it encrypts.
    if (headerSize < 0 || !openStream(header, headerSize, keys, stream, use, false).empty())
        return false;
    ChunkBuffers &buffers = chunkBuffers();
    const ssize_t sealedSize = readFull(fd, buffers.sealed, sizeof buffers.sealed, kHeaderSize);
    unsigned long long plainSize = 0;
    unsigned char tag = 0;
    const bool opened = sealedSize >= static_cast<ssize_t>(kChunkOverhead) &&
                        pull(stream, buffers.sealed, sealedSize, firstChunkData(header),
                             buffers.plain[0], plainSize, tag);
    use.end(opened);
    return opened;
}

HeaderClaim headerClaimOf(int fd) {
    unsigned char header[kHeaderSize];
    const ssize_t size = ::pread(fd, header, sizeof header, 0);
    if (size < 0)
        return {};
    return {claimOf(header, static_cast<std::size_t>(size)) != Claim::Plain,
            ourParameters(header, static_cast<std::size_t>(size))};
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
            return in.error();
        const ssize_t nextSize =
            static_cast<std::size_t>(currentSize) == kChunkSize ? in.read(next, kChunkSize) : 0;
        if (nextSize < 0)
            return in.error();
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

Decrypted decryptStream(int inFd, int outFd, KeyStore &keys,
                        const std::function<void()> &beforePlaintext) {
    Input in(inFd);
    Output out(outFd);
    ChunkBuffers &buffers = chunkBuffers();
    Layer layer(in, keys, buffers.sealed);
    std::size_t size = 0;
    bool last = false;
    std::string error = layer.open();
    if (error.empty())
        error = layer.next(buffers.plain[0], size, last);
    if (!error.empty())
        return {error};
    if (beforePlaintext)
        beforePlaintext();
    Decrypted decrypted = writePlain(layer, buffers.plain[0], size, last, out, keys);
    if (decrypted.error.empty() && !out.finish())
        decrypted.error = writeError(out);
    return decrypted;
}

} // namespace zentil
