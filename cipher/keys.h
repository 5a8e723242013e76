#pragma once

#include "cipher/format.h"

#include <future>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>

namespace zentil {

// Derives keys from the password with Argon2id, once for each distinct set of parameters, and
// shares them between the threads that process files. Each key is derived on a thread of its
// own, a few at a time: each derivation takes its share of memory.
class KeyStore {
public:
    explicit KeyStore(const std::string &password);
    ~KeyStore();
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // Parameters with a fresh random salt, for the files this run encrypts.
    static KeyParameters freshParameters();

    // Starts deriving the key for these parameters, for keyFor to find it ready or nearer.
    void prepare(const KeyParameters &parameters);
    // Starts deriving the key for these parameters unless a key is already known or on its way:
    // the first key of a run is worth starting early, while many at once would each take their
    // thread and their memory.
    void prepareFirst(const KeyParameters &parameters);
    // The key for these parameters, once derived; nullptr when it cannot be (out of memory).
    const Key *keyFor(const KeyParameters &parameters);

private:
    struct Entry {
        Key key{};
        std::shared_future<bool> derived;
    };

    Entry &entryFor(const KeyParameters &parameters);
    bool derive(const KeyParameters &parameters, Key &key);

    std::string m_password;
    std::mutex m_mutex;
    std::map<KeyParameters, Entry> m_keys;
    std::counting_semaphore<> m_derivations{2};
};

} // namespace zentil
