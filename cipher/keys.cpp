#include "cipher/keys.h"

#include <algorithm>
#include <tuple>

namespace zentil {

bool KeyParameters::operator<(const KeyParameters &other) const {
    return std::tie(opslimit, memlimit, salt) <
           std::tie(other.opslimit, other.memlimit, other.salt);
}

KeyStore::KeyStore(const std::string &password) : m_password(password) {}

KeyStore::~KeyStore() {
    for (auto &entry : m_keys)
        entry.second.derived.wait();
    sodium_memzero(m_password.data(), m_password.size());
    for (auto &entry : m_keys)
        sodium_memzero(entry.second.key.data(), entry.second.key.size());
}

KeyParameters KeyStore::freshParameters() {
    KeyParameters parameters;
    parameters.opslimit = kOpslimit;
    parameters.memlimit = kMemlimit;
    randombytes_buf(parameters.salt.data(), parameters.salt.size());
    return parameters;
}

void KeyStore::prepare(const KeyParameters &parameters) {
    entryFor(parameters);
}

void KeyStore::prepareFirst(const KeyParameters &parameters) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_keys.empty())
            return;
    }
    // Threads that get here at once may each start one: a few at most.
    entryFor(parameters);
}

const Key *KeyStore::keyFor(const KeyParameters &parameters) {
    Entry *entry = entryFor(parameters);
    return entry && entry->derived.get() ? &entry->key : nullptr;
}

bool KeyStore::isBeyondBound(const KeyParameters &parameters) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return beyondBound(parameters);
}

bool KeyStore::beyondBound(const KeyParameters &parameters) const {
    return m_keys.size() >= kMostKeys && m_keys.count(parameters) == 0;
}

// Entries stay where they are in the map, so that their keys can be handed out while others are
// added.
KeyStore::Entry *KeyStore::entryFor(const KeyParameters &parameters) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (beyondBound(parameters))
        return nullptr;
    Entry &entry = m_keys[parameters];
    if (!entry.derived.valid())
        entry.derived = std::async(std::launch::async, [this, parameters, &entry] {
                            return derive(parameters, entry.key);
                        }).share();
    return &entry;
}

bool KeyStore::derive(const KeyParameters &parameters, Key &key) {
    m_derivations.acquire();
    const bool derived = crypto_pwhash(key.data(), key.size(), m_password.data(), m_password.size(),
                                       parameters.salt.data(), parameters.opslimit,
                                       parameters.memlimit, crypto_pwhash_ALG_ARGON2ID13) == 0;
    m_derivations.release();
    return derived;
}

} // namespace zentil
