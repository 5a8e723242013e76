#include "common/temporaryfolder.h"

bool IsTemporaryFolder(const QString &programFolder) {
    return programFolder.toLower().contains(QStringLiteral("temp"));
}
