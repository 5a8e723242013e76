#pragma once

#include <sodium.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The encrypted file (docs/format.md): a fixed header that describes how its key was derived,
// then the data in chunks sealed by libsodium's secretstream, the last one tagged final.
//
//   magic "ZENTIL" | version | 0 | opslimit u64 | memlimit u64 | salt[16] | stream header[24]
//   chunk* : ciphertext of up to kChunkSize bytes + kChunkOverhead
//
// Version 2, which zentil writes, seals the whole header with the first chunk as additional
// data; version 1 did not, and is still read. Every constant here is fixed for good: files
// written with them must always open.
namespace zentil {

inline constexpr std::size_t kChunkSize = std::size_t{64} * 1024;
inline constexpr std::size_t kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
inline constexpr std::size_t kSaltSize = crypto_pwhash_SALTBYTES;
// The key limits that zentil writes, and the only ones it accepts: any other limits come from a
// damaged or crafted header, and deriving a key under them could cost the machine's memory.
inline constexpr std::uint64_t kOpslimit = 2;
inline constexpr std::uint64_t kMemlimit = 64 << 20;

using Key = std::array<unsigned char, crypto_secretstream_xchacha20poly1305_KEYBYTES>;
using Salt = std::array<unsigned char, kSaltSize>;

// How a key was derived from the password: Argon2id with these limits and this salt.
struct KeyParameters {
    std::uint64_t opslimit = 0;
    std::uint64_t memlimit = 0;
    Salt salt{};

    bool operator<(const KeyParameters &other) const;
};

class KeyStore;

// True when the file behind fd is locked under the password of keys: its header is one that
// zentil writes and its first chunk authenticates with that key. A file that only begins like one
// is not: encrypt takes such a file for a plain one, and encrypts it.
bool isLockedUnder(int fd, KeyStore &keys);

// What decrypt learns from the header of the file behind fd, in one read: whether the file claims
// to be encrypted (it starts with the magic and a version: an encrypted file, or one whose header
// was changed or comes from a newer zentil, which decrypt refuses rather than pass by as a plain
// one), and how its key was derived where the header says so with the only limits that zentil
// accepts.
struct HeaderClaim {
    bool claimsEncrypted = false;
    std::optional<KeyParameters> parameters;
};
HeaderClaim headerClaimOf(int fd);

// Reads all of in and writes its encrypted form to out. Returns an empty string on success,
// otherwise why it failed.
std::string encryptStream(int in, int out, const Key &key, const KeyParameters &parameters);

// What a decrypt made of a file: error is "" or why it was refused, and then nothing it wrote
// counts; stillLocked says that what it wrote is itself a file of ours that its key did not open
// (a file locked under another password, which a lock then locked again).
struct Decrypted {
    std::string error;
    bool stillLocked = false;
};

// Reads an encrypted file from in and writes the plain data to out, with every layer within it
// that opens under the password taken off too. Fails, with a reason, when a layer does not
// authenticate, ends before its final chunk, or has data after it. beforePlaintext, when given,
// is called once the first chunk has authenticated, before any of the plain data goes to out.
Decrypted decryptStream(int in, int out, KeyStore &keys,
                        const std::function<void()> &beforePlaintext = {});

} // namespace zentil
