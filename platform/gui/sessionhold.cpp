#include "platform/gui/sessionhold.h"

#include "platform/core/exitguard.h"
#include "platform/gui/sessioninhibitor.h"

DesktopSessionHold::DesktopSessionHold(const QString &lockScript, const QString &reason)
    : m_guard(ExitGuard::start(lockScript)),
      m_inhibitor(std::make_unique<SessionInhibitor>(reason)) {
    connect(m_inhibitor.get(), &SessionInhibitor::endRequested, this, &SessionHold::endRequested);
    connect(m_inhibitor.get(), &SessionInhibitor::lockRequested, this, &SessionHold::lockRequested);
    connect(m_inhibitor.get(), &SessionInhibitor::ending, this, &SessionHold::ending);
}

DesktopSessionHold::~DesktopSessionHold() = default;

void DesktopSessionHold::release() {
    if (m_guard)
        m_guard->release();
    m_inhibitor.reset();
}

bool DesktopSessionHold::desktopAsks() const {
    return m_inhibitor && m_inhibitor->shellAsks();
}
