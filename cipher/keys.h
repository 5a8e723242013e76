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
//
// A run derives at most kMostKeys keys: every salt costs a fraction of a second, and files that
// someone planted in the locker, each with a salt of its own, would otherwise make every run as
// slow as they like. The files of a locker normally share one salt, that of the run that locked
// them.
class KeyStore {
public:
    static constexpr std::size_t kMostKeys = 4;

    explicit KeyStore(const std::string &password);
    ~KeyStore();
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // Parameters with a fresh random salt, for the files this run encrypts.
    static KeyParameters freshParameters();

    // Starts deriving the key for these parameters, for keyFor to find it ready or nearer, while
    // the run has room for another key.
    void prepare(const KeyParameters &parameters);
    // Starts deriving the key for these parameters unless a key is already known or on its way:
    // the first key of a run is worth starting early, while many at once would each take their
    // thread and their memory.
    void prepareFirst(const KeyParameters &parameters);
    // The key for these parameters, once derived; nullptr when it cannot be: out of memory, or
    // beyond the keys of this run (isBeyondBound).
    const Key *keyFor(const KeyParameters &parameters);
    // True when the run has its kMostKeys keys and none of them for these parameters.
    bool isBeyondBound(const KeyParameters &parameters);

private:
    struct Entry {
        Key key{};
        std::shared_future<bool> derived;
    };

    // The entry for these parameters, its key on its way; nullptr when beyond the bound.
    Entry *entryFor(const KeyParameters &parameters);
    // isBeyondBound, with m_mutex held.
    bool beyondBound(const KeyParameters &parameters) const;
    bool derive(const KeyParameters &parameters, Key &key);

    std::string m_password;
    std::mutex m_mutex;
    std::map<KeyParameters, Entry> m_keys;
    std::counting_semaphore<> m_derivations{2};
};

} // namespace zentil
