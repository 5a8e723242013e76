#include "cipher/keys.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace zentil {

namespace {

// As many keys as are derived at once (m_derivations) are tried at once in order.
constexpr std::size_t kTriedAtOnce = 2;

} // namespace

bool KeyParameters::operator<(const KeyParameters &other) const {
    return std::tie(opslimit, memlimit, salt) <
           std::tie(other.opslimit, other.memlimit, other.salt);
}

KeyStore::KeyStore(const std::string &password) : m_password(password) {}

KeyStore::~KeyStore() {
    if (m_orderer.joinable())
        m_orderer.join();
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
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_keys.count(parameters) == 0)
        start(parameters, State::Opened, false);
}

void KeyStore::prepareFirst(const KeyParameters &parameters) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_keys.empty())
        start(parameters, State::Untried, false);
}

void KeyStore::tryInOrder(const std::function<std::vector<KeyParameters>()> &order,
                          const std::function<bool(const KeyParameters &)> &opens) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ordering = true;
    }
    m_orderer = std::thread([this, order, opens] { this->order(order(), opens); });
}

void KeyStore::order(const std::vector<KeyParameters> &parameters,
                     const std::function<bool(const KeyParameters &)> &opens) {
    std::vector<std::future<void>> probes;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (const KeyParameters &next : parameters) {
        m_changed.wait(lock, [this] {
            const std::size_t failed = failing(false), mayFail = failing(true);
            return failed >= kMostFailing ||
                   (mayFail < kMostFailing && mayFail - failed < kTriedAtOnce);
        });
        if (failing(false) >= kMostFailing)
            break;
        const auto found = m_keys.find(next);
        if (found != m_keys.end() && found->second.state != State::Untried)
            continue;
        if (found == m_keys.end())
            start(next, State::Untried, true);
        else
            found->second.counted = true;
        probes.push_back(
            std::async(std::launch::async, [this, next, &opens] { tried(next, opens(next)); }));
    }
    lock.unlock();
    for (std::future<void> &probe : probes)
        probe.wait();
    lock.lock();
    m_ordering = false;
    m_changed.notify_all();
}

const Key *KeyStore::keyFor(const KeyParameters &parameters, bool waitForRoom) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // A new salt waits for the keys before it in order.
    m_changed.wait(lock, [&] {
        return m_keys.count(parameters) != 0 ||
               (!m_ordering &&
                (!waitForRoom || failing(false) >= kMostFailing || failing(true) < kMostFailing));
    });
    auto found = m_keys.find(parameters);
    if (found == m_keys.end() && failing(!waitForRoom) >= kMostFailing)
        return nullptr;
    Entry &entry = found != m_keys.end() ? found->second : start(parameters, State::Untried, true);
    lock.unlock();
    if (entry.derived.get())
        return &entry.key;
    tried(parameters, false);
    return nullptr;
}

void KeyStore::tried(const KeyParameters &parameters, bool opened) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_keys.find(parameters);
    if (found == m_keys.end())
        return;
    Entry &entry = found->second;
    const State was = entry.state;
    const bool wasCounted = std::exchange(entry.counted, false);
    if (opened)
        entry.state = State::Opened;
    else if (entry.state == State::Untried)
        entry.state = State::Failed;
    if (entry.state != was || wasCounted)
        m_changed.notify_all();
}

bool KeyStore::isBeyondBound(const KeyParameters &parameters) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_keys.count(parameters) == 0 && failing(false) >= kMostFailing;
}

std::size_t KeyStore::failing(bool andUntried) const {
    return static_cast<std::size_t>(
        std::count_if(m_keys.begin(), m_keys.end(), [&](const auto &key) {
            const Entry &entry = key.second;
            return entry.state == State::Failed ||
                   (andUntried && entry.state == State::Untried && entry.counted);
        }));
}

// Entries stay where they are in the map, so that their keys can be handed out while others are
// added.
KeyStore::Entry &KeyStore::start(const KeyParameters &parameters, State state, bool counted) {
    Entry &entry = m_keys[parameters];
    entry.state = state;
    entry.counted = counted;
    entry.derived = std::async(std::launch::async, [this, parameters, &entry] {
                        return derive(parameters, entry.key);
                    }).share();
    return entry;
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
