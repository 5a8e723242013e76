// The reader of encrypted files on any bytes: whether a decrypt run takes a file up, the
// decryption, the replacement of the file in its folder, and encryption of the bytes as a plain
// file.
#include "cipher/format.h"
#include "cipher/keys.h"
#include "cipher/replace.h"
#include "cipher/runmark.h"
#include "common/fd.h"
#include "tests/fuzz/check.h"

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The stored password code of tests/cipher/samples, and the salt of each version's samples.
constexpr char kPassword[] = "l98l101l110l99l104";
constexpr unsigned char kSalts[2][zentil::kSaltSize] = {
    {0xaf, 0x82, 0x22, 0xcf, 0xce, 0x4b, 0xc2, 0xb2, 0x0d, 0xaf, 0xc2, 0x81, 0xce, 0x3f, 0xc8,
     0xa3},
    {0xfa, 0x43, 0x71, 0xd4, 0xad, 0xf7, 0x45, 0xe1, 0xce, 0xb3, 0x30, 0x37, 0xa7, 0x55, 0x5f,
     0x4f},
};
constexpr std::size_t kSaltAt = 24;
constexpr std::size_t kHeaderSize = 64;
constexpr char kNotOurs[] = "not an encrypted file of this format";

zentil::KeyParameters parametersWith(const unsigned char *salt) {
    zentil::KeyParameters parameters{zentil::kOpslimit, zentil::kMemlimit, {}};
    std::memcpy(parameters.salt.data(), salt, zentil::kSaltSize);
    return parameters;
}

// The keys are derived once, for the samples' salts only: a derivation for every input would
// take the fuzzer's whole time.
zentil::KeyStore &keys() {
    static zentil::KeyStore store(kPassword);
    return store;
}

int memoryFile(const std::string &bytes) {
    const int fd = ::memfd_create("fuzz", MFD_CLOEXEC);
    check(::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
          "a memory file takes the input");
    return fd;
}

std::string contents(int fd) {
    std::string bytes(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    check(::pread(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()),
          "a file reads back");
    return bytes;
}

// Decrypts bytes; the plain data, and why they were refused ("" when they were not).
std::pair<std::string, std::string> decrypted(const std::string &bytes) {
    const Fd in(memoryFile(bytes)), out(memoryFile({}));
    const std::string error = zentil::decryptStream(in.get(), out.get(), keys()).error;
    return {contents(out.get()), error};
}

// The size of the plain data in an encrypted file of this size.
std::size_t plainSize(std::size_t size) {
    const std::size_t sealedChunk = zentil::kChunkSize + zentil::kChunkOverhead;
    const std::size_t chunks = (size - kHeaderSize + sealedChunk - 1) / sealedChunk;
    return size - kHeaderSize - chunks * zentil::kChunkOverhead;
}

// What a decrypt run makes of a file with these bytes, found as the run finds it.
void replaceInFolder(const std::string &bytes, bool claimed, const std::string &plain,
                     const std::string &error) {
    char folder[] = "/dev/shm/zentil-fuzz-XXXXXX";
    check(::mkdtemp(folder) != nullptr, "a scratch folder");
    const Fd dir(::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    {
        const Fd file(::openat(dir.get(), "file", O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        check(::write(file.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()),
              "the file is written");
    }
    std::string after;
    zentil::Replacement result;
    {
        zentil::RunMark run(dir.get());
        zentil::StagedReplacement staged(
            dir.get(), "file", [](int in) { return zentil::headerClaimOf(in).claimsEncrypted; },
            run);
        staged.write([](int in, int out) { return zentil::decryptStream(in, out, keys()).error; });
        result = staged.commit("");
        const Fd file(::openat(dir.get(), "file", O_RDONLY | O_CLOEXEC));
        after = contents(file.get());
    }
    check(::unlinkat(dir.get(), "file", 0) == 0 && ::rmdir(folder) == 0,
          "the replacement leaves nothing behind");
    check(result.error == (claimed ? error : ""), "the run refuses the file for the reason found");
    check(result.replaced == (claimed && error.empty()), "the run replaces a file that opens");
    check(after == (result.replaced ? plain : bytes), "a refused file keeps its bytes");
}

// Bytes that are themselves a file that opens under the password come out whole, or refused as
// that file is; any others come out as they were.
void encryptedRoundTrip(const std::string &plain, bool locked,
                        const std::pair<std::string, std::string> &opened) {
    const zentil::KeyParameters parameters = parametersWith(kSalts[1]);
    const Fd in(memoryFile(plain)), out(memoryFile({}));
    check(
        zentil::encryptStream(in.get(), out.get(), *keys().keyFor(parameters), parameters).empty(),
        "any bytes encrypt");
    check(zentil::isLockedUnder(out.get(), keys()), "an encrypted file is taken for locked");
    const auto found = zentil::headerClaimOf(out.get()).parameters;
    check(found && !(*found < parameters) && !(parameters < *found), "its key parameters read");
    const auto [back, error] = decrypted(contents(out.get()));
    check(error == (locked ? opened.second : "") &&
              (!error.empty() || back == (locked ? opened.first : plain)),
          "it decrypts back");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    check(sodium_init() >= 0, "libsodium starts");
    for (const auto &salt : kSalts)
        keys().prepare(parametersWith(salt));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char *>(data), size);
    // Another salt would only make another wrong key, at the cost of a derivation.
    if (size >= kSaltAt + zentil::kSaltSize &&
        std::memcmp(data + kSaltAt, kSalts[0], zentil::kSaltSize) != 0)
        std::memcpy(bytes.data() + kSaltAt, kSalts[1], zentil::kSaltSize);

    const Fd file(memoryFile(bytes));
    // A file claims to be encrypted by the magic and a version byte, whatever follows.
    const bool claimed = size > 6 && std::memcmp(data, "ZENTIL", 6) == 0;
    const bool locked = zentil::isLockedUnder(file.get(), keys());
    const zentil::HeaderClaim header = zentil::headerClaimOf(file.get());
    const bool readable = header.parameters.has_value();
    check(header.claimsEncrypted == claimed, "a file claims to be ours by its magic and version");
    check(!locked || (claimed && readable), "a file taken for locked is taken up by decrypt");

    const auto [plain, error] = decrypted(bytes);
    check(!error.empty() || locked, "a file that opens is taken for locked, never locked again");
    check(claimed || error == kNotOurs, "a file passed by as plain is not one of ours");
    check(!error.empty() || plain.size() == plainSize(size), "the plain data has the right size");
    replaceInFolder(bytes, claimed, plain, error);
    encryptedRoundTrip(bytes, locked, {plain, error});
    return 0;
}
