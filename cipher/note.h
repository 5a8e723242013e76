#pragma once

#include <string>

namespace zentil {

// The note that a run with failures leaves at the top of the locker. zentil recognises a note as
// its own by a check line it ends with; a file of the user's that happens to bear the note's name
// is a file like any other, and the note then takes the next free name.
class Note {
public:
    explicit Note(int lockerFd) : m_lockerFd(lockerFd) {}

    // True when the top-level file name is a note that zentil wrote.
    bool isOurs(const std::string &name) const;
    // Writes text as the note in the locker folder that the run opened, over an earlier note of
    // ours or under a free name; returns the name it was written under, or "" when it could not
    // be written.
    std::string write(const std::string &text) const;
    // Removes every note of ours.
    void remove() const;

private:
    int m_lockerFd;
};

} // namespace zentil
