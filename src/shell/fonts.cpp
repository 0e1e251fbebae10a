#include "shell/fonts.h"

#include <QStringList>

namespace morvane {

QFont JapaneseFont(const QString& family, int pixelSize) {
    QFont f;
    QStringList families{family};
    // Proportional gothic faces first, so widths stay close to the original.
    families << QStringLiteral("MS PGothic") << QStringLiteral("IPAPGothic") << QStringLiteral("IPAGothic")
             << QStringLiteral("Noto Sans CJK JP") << QStringLiteral("Noto Sans JP");
    f.setFamilies(families);
    f.setPixelSize(pixelSize);
    return f;
}

QFont MainFont() { return JapaneseFont(QStringLiteral("ＭＳ Ｐゴシック"), 12); }

}  // namespace morvane
