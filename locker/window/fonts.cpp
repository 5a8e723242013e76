#include "locker/window/fonts.h"

#include "platform/core/programfolder.h"

#include <QDir>
#include <QFontDatabase>
#include <QStringList>

namespace {

QFont makeFont(const QString &family, qreal pointSize, bool bold) {
    // fontconfig alone would map these names to a sans face; these stand-ins keep their look.
    static const bool registered = [] {
        QFont::insertSubstitutions(
            QStringLiteral("Book Antiqua"),
            {QStringLiteral("TeX Gyre Pagella"), QStringLiteral("Palatino")});
        QFont::insertSubstitutions(QStringLiteral("Comic Sans MS"),
                                   {QStringLiteral("Comic Neue"), QStringLiteral("Comic Sans")});
        QFont::insertSubstitutions(QStringLiteral("MS Serif"), {QStringLiteral("Liberation Serif"),
                                                                QStringLiteral("DejaVu Serif")});
        return true;
    }();
    Q_UNUSED(registered);
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace

QFont bookAntiqua(qreal pointSize, bool bold) {
    return makeFont(QStringLiteral("Book Antiqua"), pointSize, bold);
}

QFont comicSans(qreal pointSize, bool bold) {
    return makeFont(QStringLiteral("Comic Sans MS"), pointSize, bold);
}

QFont msSerif(qreal pointSize) {
    return makeFont(QStringLiteral("MS Serif"), pointSize, false);
}

QFont titleBarFont() {
    return bookAntiqua(9.75, true);
}

void loadBundledFonts(const QString &programFolder) {
    const QDir fonts(bundleFolder(programFolder) + QStringLiteral("/fonts"));
    for (const QString &name :
         fonts.entryList({QStringLiteral("*.otf"), QStringLiteral("*.ttf")}, QDir::Files))
        QFontDatabase::addApplicationFont(fonts.filePath(name));
}
