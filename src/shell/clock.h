#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>

namespace morvane {

// The status-bar clock: the locale's short date, a blank and the time with
// seconds; in the first second after midnight the date alone.
QString ClockText(const QDateTime& now, const QLocale& locale);

}  // namespace morvane
