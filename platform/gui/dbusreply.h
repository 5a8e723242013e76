#pragma once

#include <QDBusPendingCallWatcher>

// Hands the reply of a call that went out without waiting to `then` once it has come, on the
// receiver's thread; nothing if the receiver has gone by then.
template <typename Then> void onReply(QObject *receiver, const QDBusPendingCall &call, Then then) {
    auto *watcher = new QDBusPendingCallWatcher(call, receiver);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, receiver, [watcher, then] {
        then(*watcher);
        watcher->deleteLater();
    });
}
