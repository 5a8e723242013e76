#pragma once

#include "cipher/format.h"

#include <map>
#include <mutex>
#include <string>

namespace zentil {

// Derives keys from the password with Argon2id, once for each distinct set of parameters, and
// shares them between the threads that process files.
class KeyStore {
public:
    explicit KeyStore(const std::string &password);
    ~KeyStore();
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // Parameters with a fresh random salt, for the files this run encrypts.
    static KeyParameters freshParameters();

    // The key for these parameters; nullptr when it cannot be derived (out of memory).
    const Key *keyFor(const KeyParameters &parameters);

private:
    std::string m_password;
    std::mutex m_mutex;
    std::map<KeyParameters, Key> m_keys;
};

} // namespace zentil
