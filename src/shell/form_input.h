#pragma once
// Reading the window's inputs: the conversion of an edit's text to an
// integer, and the start command's own input errors.
#include <QString>
#include <cstdint>
#include <stdexcept>

#include "app/input.h"
#include "system/printable.h"

namespace morvane {

// A bad input the start command reports in its own error box.
struct InputError {
    QString message;
};

// A value the window quotes in a message: control characters escaped and
// cut after Printable's limit, as the command line quotes it, so a pasted
// page of text makes no page-wide box.
inline QString Quotable(const QString& text) { return QString::fromStdString(Printable(text.toStdString())); }

// The integer conversion's failure, shown like any unhandled error.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString& text)
        : std::runtime_error(QStringLiteral("'%1' は整数ではありません").arg(Quotable(text)).toStdString()) {}
};

inline std::int32_t ToInt(const QString& text) {
    const auto v = ParseInt32(text.toStdString());
    if (!v) throw ConversionError(text);
    return *v;
}

}  // namespace morvane
