#pragma once

#include <QString>

// Both programs refuse to run from a folder whose path contains "temp" in any letter case: such
// a folder is most likely an archive viewer's scratch space, and a locker there would be lost.
bool IsTemporaryFolder(const QString &programFolder);

inline const QString kUnzipFirstText =
    QStringLiteral("Please unzip Tarvolen first.\r\nSee readme file for more details.");
inline const QString kUnzipFirstTitle = QStringLiteral("Unzip Tarvolen");
