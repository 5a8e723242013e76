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
    sodium_memzero(m_password.data(), m_password.size());
    for (auto &entry : m_keys)
        sodium_memzero(entry.second.data(), entry.second.size());
}

KeyParameters KeyStore::freshParameters() {
    KeyParameters parameters;
    parameters.opslimit = kOpslimit;
    parameters.memlimit = kMemlimit;
    randombytes_buf(parameters.salt.data(), parameters.salt.size());
    return parameters;
}

const Key *KeyStore::keyFor(const KeyParameters &parameters) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (auto found = m_keys.find(parameters); found != m_keys.end())
        return &found->second;
    Key &key = m_keys[parameters];
    if (crypto_pwhash(key.data(), key.size(), m_password.data(), m_password.size(),
                      parameters.salt.data(), parameters.opslimit, parameters.memlimit,
                      crypto_pwhash_ALG_ARGON2ID13) != 0) {
        m_keys.erase(parameters);
        return nullptr;
    }
    return &key;
}

} // namespace zentil
