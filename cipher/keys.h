#pragma once

#include "cipher/format.h"

#include <condition_variable>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

namespace zentil {

// Derives keys from the password with Argon2id, once for each distinct set of parameters, and
// shares them between the threads that process files. Each key is derived on a thread of its
// own, a few at a time: each derivation takes its share of memory.
//
// Every salt costs a fraction of a second, and files that someone planted in the locker, each
// with a salt of its own, would otherwise make every run as slow as they like. So a run stops
// deriving keys for new salts once kMostFailing keys have opened nothing; a key that opens a file
// costs nothing of that bound, so that the locker's own files open however many runs locked them.
class KeyStore {
public:
    static constexpr std::size_t kMostFailing = 3;

    explicit KeyStore(const std::string &password);
    ~KeyStore();
    KeyStore(const KeyStore &) = delete;
    KeyStore &operator=(const KeyStore &) = delete;

    // Parameters with a fresh random salt, for the files this run encrypts.
    static KeyParameters freshParameters();

    // Starts deriving the key for these parameters, outside the bound: the run's own key.
    void prepare(const KeyParameters &parameters);
    // Starts deriving the key for these parameters unless a key is already known or on its way:
    // the first key of a run is worth starting early. It counts once it is tried.
    void prepareFirst(const KeyParameters &parameters);
    // On a thread of its own, derives the keys for the parameters that order() gives, in that
    // order, each tried at once by opens() (true when a file opens under it), until kMostFailing
    // of them have opened nothing. Until then keyFor waits for any parameters it has not reached:
    // which salts a run tries depends on the order given, not on the order files are worked on.
    void tryInOrder(const std::function<std::vector<KeyParameters>()> &order,
                    const std::function<bool(const KeyParameters &)> &opens);
    // The key for these parameters, once derived; nullptr when it cannot be: out of memory, or
    // beyond the bound (isBeyondBound). Whoever uses a key first says with tried() whether it
    // opened what it was used on. A new salt waits for keys about to be tried that decide whether
    // the bound leaves room for it; without waitForRoom it is refused while they might not.
    const Key *keyFor(const KeyParameters &parameters, bool waitForRoom = true);
    void tried(const KeyParameters &parameters, bool opened);
    // True when kMostFailing keys of this run opened nothing and none is for these parameters.
    bool isBeyondBound(const KeyParameters &parameters);

private:
    enum class State { Untried, Opened, Failed };
    struct Entry {
        Key key{};
        std::shared_future<bool> derived;
        State state = State::Untried;
        // Counted against the bound until tried: a key that someone is about to try.
        bool counted = false;
    };

    // The entry for these parameters, its key on its way; m_mutex held.
    Entry &start(const KeyParameters &parameters, State state, bool counted);
    // How many keys opened nothing, and how many may yet; m_mutex held.
    std::size_t failing(bool andUntried) const;
    void order(const std::vector<KeyParameters> &parameters,
               const std::function<bool(const KeyParameters &)> &opens);
    bool derive(const KeyParameters &parameters, Key &key);

    std::string m_password;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<KeyParameters, Entry> m_keys;
    bool m_ordering = false;
    std::thread m_orderer;
    std::counting_semaphore<> m_derivations{2};
};

} // namespace zentil
