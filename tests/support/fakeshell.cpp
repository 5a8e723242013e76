#include "tests/support/fakeshell.h"

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
    FakeSessionHold(QList<FakeShell::Hold> &holds, qsizetype index)
        : m_holds(holds), m_index(index) {}
    ~FakeSessionHold() override {
        if (state() == FakeShell::HoldState::Held)
            state() = FakeShell::HoldState::Abandoned;
    }
    void release() override { state() = FakeShell::HoldState::Released; }

private:
    FakeShell::HoldState &state() { return m_holds[m_index].state; }

    QList<FakeShell::Hold> &m_holds;
    qsizetype m_index;
};

} // namespace

std::unique_ptr<SessionHold> FakeShell::holdSession(const QString &lockScript,
                                                    const QString &reason) {
    holds.append({lockScript, reason});
    return std::make_unique<FakeSessionHold>(holds, holds.size() - 1);
}
