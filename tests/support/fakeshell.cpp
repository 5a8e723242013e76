#include "tests/support/fakeshell.h"

#include "platform/core/exitguard.h"
#include "platform/core/files.h"

Shell::OpenResult FakeShell::open(const QString &path) {
    opened.append(path);
    return pathExists(path) ? nextOpenResult : OpenResult::NotFound;
}

bool FakeShell::startProgram(const QString &program, const QString &workingDirectory) {
    started.append({program, workingDirectory});
    return true;
}

namespace {

class FakeSessionHold : public SessionHold {
public:
    FakeSessionHold(QList<FakeShell::Hold> &holds, qsizetype index,
                    std::unique_ptr<ExitGuard> guard)
        : m_holds(holds), m_index(index), m_guard(std::move(guard)) {}
    ~FakeSessionHold() override {
        if (state() == FakeShell::HoldState::Held)
            state() = FakeShell::HoldState::Abandoned;
    }
    void release() override {
        state() = FakeShell::HoldState::Released;
        if (m_guard)
            m_guard->release();
    }

private:
    FakeShell::HoldState &state() { return m_holds[m_index].state; }

    QList<FakeShell::Hold> &m_holds;
    qsizetype m_index;
    std::unique_ptr<ExitGuard> m_guard;
};

} // namespace

std::unique_ptr<SessionHold> FakeShell::holdSession(const QString &lockScript,
                                                    const QString &reason) {
    holds.append({lockScript, reason});
    return std::make_unique<FakeSessionHold>(holds, holds.size() - 1,
                                             realGuards ? ExitGuard::start(lockScript) : nullptr);
}
