#pragma once
// Reading the window's inputs: the conversion of an edit's text to an
// integer, and the start command's own input errors.
#include <QString>
#include <cstdint>
#include <stdexcept>

#include "app/input.h"

namespace morvane {

// A bad input the start command reports in its own error box.
struct InputError {
    QString message;
};

// The integer conversion's failure, shown like any unhandled error.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text)
        : std::runtime_error(QStringLiteral("'%1' は整数ではありません").arg(text).toStdString()) {}
};

inline std::int32_t ToInt(const QString& text) {
    const auto v = ParseInt32(text.toStdString());
    if (!v) throw ConversionError(text);
    return *v;
}

}  // namespace morvane
