#pragma once

#include "common/fd.h"

#include <functional>
#include <string>

// A new file that takes the place of another in the same folder: written under a temporary name
// beside it, put on the disk, then renamed over it, so that at every moment the name holds either
// the whole old file or the whole new one. A temporary that never takes the name is removed.
class FileReplacement {
public:
    // Names to try for the temporary, one a call, until one is free; "" when there are no more.
    using Names = std::function<std::string()>;
    // Marks a new file with the name it is about to bear; false when it cannot.
    using Mark = std::function<bool(int fd, const std::string &name)>;

    // Creates the temporary, readable and writable by its owner only, for the file target in the
    // folder dirFd, which must stay open while this lives. With a mark, the file is made without
    // a name and marked before it gets one, so that the name never shows without the mark; where
    // the file system cannot do that, it is made under its name and marked at once, if it can be.
    FileReplacement(int dirFd, std::string target, const Names &names, const Mark &mark = {});
    ~FileReplacement();
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;

    // The temporary, open for writing; -1 when it could not be created (errno says why).
    int fd() const { return m_file.get(); }

    // Renames the temporary over the target; call it once the new file is on the disk. False,
    // with errno saying why, when it cannot be, and the temporary is then removed.
    bool commit();
    // The whole replacement of one file by itself: puts the new file on the disk and closes it,
    // renames it over the target and puts the folder on the disk.
    bool commitDurably();

private:
    bool createUnnamed(const Names &names, const Mark &mark);
    void createNamed(const Names &names, const Mark &mark);
    // Removes the temporary, unless it took the target's name; errno stays as it was.
    void discard();

    int m_dir;
    std::string m_target;
    // The temporary's name while it bears one and has not taken the target's.
    std::string m_temporary;
    Fd m_file;
};

// Gives the unnamed file fd (made with O_TMPFILE) the name in the folder dirFd; false, with errno
// saying why, when it cannot.
bool linkUnnamed(int fd, int dirFd, const std::string &name);
