#pragma once

#include "cipher/lease.h"
#include "cipher/runmark.h"
#include "common/fd.h"
#include "common/filereplacement.h"

#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace zentil {

// Besides their run's name (runmark.h), temporary files carry their own name in an extended
// attribute until they take the original's place, where the file system keeps one; so did the
// temporaries of earlier versions, named ".~zentil-" and six letters or digits, which may still
// lie in a locker. True for a file that bears the attribute of its name: a file of the user's
// with such a name lacks it.
bool isOurTemporary(int dirFd, const std::string &name);

// Why a file was left as it was when another program opened it for writing or changed it.
inline constexpr char kInUse[] = "in use";

// Writes from the file to a new file through transform(in, out); returns "" or why it failed.
using Transform = std::function<std::string(int in, int out)>;

// What became of a file: error is "" when it is in the wanted state, else why not; the file is
// then untouched. replaced says that it was replaced: it keeps the new state through a power cut
// only once its folder has been flushed.
struct Replacement {
    std::string error;
    bool replaced = false;
};

// A file's replacement, in steps, so that many files can share one flush: the file is opened
// and a temporary file created beside it; write() fills the temporary and gives it the original's
// owner, mode, extended attributes and times; once the caller has put it on the disk (syncfs),
// commit() renames it over the original, so that at every moment the name holds either the whole
// old file or the whole new one. The caller then flushes the folder before it reports success,
// once for all the files that it replaced there. Only a regular file that wanted(in) says needs
// it is replaced. A file that is open for writing elsewhere, or changes meanwhile, is left as it
// is (kInUse).
class StagedReplacement {
public:
    // Opens the file name in the folder dirFd, which must stay open while this lives, and creates
    // its temporary, named by run, where wanted(in) says that it needs replacing.
    StagedReplacement(int dirFd, const std::string &name, const std::function<bool(int in)> &wanted,
                      RunMark &run);
    StagedReplacement(const StagedReplacement &) = delete;
    StagedReplacement &operator=(const StagedReplacement &) = delete;

    // Writes the new file from the original through transform and gives it the original's
    // metadata.
    void write(const Transform &transform);
    // Why the file cannot be replaced, "" while it can be or needs nothing.
    const std::string &error() const { return m_error; }
    // Renames the temporary over the original. flushError is why the temporary may not be on the
    // disk yet ("" when it is): then the original stays.
    Replacement commit(const std::string &flushError);

private:
    void open(RunMark &run, const std::function<bool(int in)> &wanted);

    int m_dir;
    std::string m_name;
    Fd m_in;
    struct stat m_original {};
    std::optional<ReadLease> m_lease;
    // The new file; a temporary that never took the original's name goes with it.
    std::optional<FileReplacement> m_out;
    std::string m_error;
};

} // namespace zentil
