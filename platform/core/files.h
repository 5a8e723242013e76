#pragma once

#include <QString>

// File operations with the error classes that the programs react to.
enum class FileError {
    None,
    NotFound, // the file or a folder on its path does not exist
    Access,   // it exists but may not be changed: permissions, read-only, or in use
    Other,
};

FileError fileErrorFromErrno(int error);

// Copies source over destination, replacing an existing file. A failure part-way, on a full disk
// for instance, may leave destination short.
FileError copyFileOver(const QString &source, const QString &destination);

// The two attribute states that a prepared script passes through: hidden (owner-only,
// executable) while it waits to run, normal (owner read and write) before it is deleted.
FileError setHiddenAttributes(const QString &path);
FileError setNormalAttributes(const QString &path);

FileError removeFile(const QString &path);

// Deletes the file unless another program holds it open under an in-use lock (see
// holdInUseLock), which counts as an access error.
FileError removeFileUnlessInUse(const QString &path);

// Deletes a folder with everything in it, each file as removeFileUnlessInUse does; a path that is
// not a folder is deleted as a file. All or nothing as far as access goes: when a folder in the
// tree may not be changed or a file in it is in use, it deletes nothing and returns the access
// error. Other failures inside the folder are passed over.
FileError removeFolderUnlessInUse(const QString &path);

// Marks the file as in use for as long as this process runs.
bool holdInUseLock(const QString &path);

bool pathExists(const QString &path);
bool isEmptyDirectory(const QString &path);
bool makeDirectory(const QString &path);
bool removeDirectory(const QString &path);
