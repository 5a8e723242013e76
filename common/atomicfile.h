#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path with data so that a crash at any moment leaves either the old or the
// new contents under that name: a temporary file beside it, flushed to disk, renamed over it, and
// the folder flushed. The file is readable and writable by its owner only.
bool writeFileAtomically(const QString &path, const QByteArray &data);
