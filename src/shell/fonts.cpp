#include "shell/fonts.h"

#include <QStringList>

namespace morvane {

QFont JapaneseFont(const QString& family, int pixelSize) {
    QFont f;
    QStringList families{family};
    // Proportional faces of the same kind first, so widths stay close.
    if (family.contains(QStringLiteral("明朝")))
        families << QStringLiteral("MS PMincho") << QStringLiteral("IPAPMincho") << QStringLiteral("IPAMincho");
    families << QStringLiteral("MS PGothic") << QStringLiteral("IPAPGothic") << QStringLiteral("IPAGothic")
             << QStringLiteral("Noto Sans CJK JP") << QStringLiteral("Noto Sans JP");
    f.setFamilies(families);
    f.setPixelSize(pixelSize);
    return f;
}

QFont MainFont() { return JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 12); }

}  // namespace morvane
