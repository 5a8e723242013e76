#pragma once

#include <mutex>
#include <set>
#include <string>

namespace zentil {

// Temporary files are named after the run that makes them: ".~zentil-<run>-<six more>", where
// <run> is twelve random letters and digits drawn when the run starts. Before its first temporary
// exists, a run puts its mark, an empty file ".~zentil-run-<run>", in the locker's top folder and
// on the disk, and removes it only once every temporary of the run is gone. A run that is killed
// leaves its mark; the next run removes the temporaries that carry that run's id, then the mark.
// This needs no extended attribute, which FAT32 and exFAT do not keep, and takes no file of the
// user's: a user's file that looks like a temporary carries the id of no mark, and one that bears
// a mark's name is taken for a mark only while it is empty.
//
// A mark that a run finds belongs to a run that has ended: every run holds the locker's flock
// from before it looks for marks until after it has removed its own, and the flock goes with the
// process that held it, however it ends.
inline constexpr char kTemporaryPrefix[] = ".~zentil-";

class RunMark {
public:
    explicit RunMark(int lockerFd);
    // Removes the mark, where it was made, once the removals of the run's temporaries are on the
    // disk: a power cut must not bring back a temporary without its mark.
    ~RunMark();
    RunMark(const RunMark &) = delete;
    RunMark &operator=(const RunMark &) = delete;

    // A fresh name for a temporary file of this run; the first call makes the mark. "" when the
    // mark cannot be made, with errno saying why.
    std::string temporaryName();

private:
    void make();

    int m_lockerFd;
    std::string m_id;
    std::once_flag m_making;
    bool m_made = false;
    int m_error = 0;
};

// The runs that left their marks in the locker's top folder.
std::set<std::string> endedRuns(int lockerFd);
// True when name is a temporary file of one of runs, or the mark of one.
bool isTemporaryOf(const std::string &name, const std::set<std::string> &runs);
bool isMarkOf(const std::string &name, const std::set<std::string> &runs);
// Removes the marks of runs whose temporaries are gone, once those removals are on the disk.
void removeMarks(int lockerFd, const std::set<std::string> &runs);

} // namespace zentil
