#pragma once
#include <QFont>
#include <QString>

namespace morvane {

// A font asked for by its Windows name first, then installed Japanese
// families, so no text falls back to boxes.
QFont JapaneseFont(const QString& family, int pixelSize);

// The windows' font: "ＭＳ Ｐゴシック", 12 pixels.
QFont MainFont();

}  // namespace morvane
