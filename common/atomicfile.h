#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// Replaces the file at path with data so that a crash at any moment leaves either the old or the
// new contents under that name: a temporary file beside it, flushed to disk, renamed over it, and
// the folder flushed. The file is readable and writable by its owner only.
bool writeFileAtomically(const QString &path, const QByteArray &data);

// The same for the file name in the open folder dirFd: written there even where the folder's
// path has come to lead elsewhere meanwhile.
bool writeFileAtomicallyIn(int dirFd, const std::string &name, const QByteArray &data);

// The same, through a temporary file of the caller's choosing, which must lie in the folder of
// path and not exist yet. A caller that records the name before the file exists can find and
// remove it after a crash.
bool writeFileAtomicallyVia(const QString &path, const QString &temporary, const QByteArray &data);

// A fresh name for such a temporary: ".<name of path>." and six random letters or digits, in the
// folder of path.
QString temporaryNameBeside(const QString &path);
