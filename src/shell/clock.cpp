#include "shell/clock.h"

namespace morvane {

QString ClockText(const QDateTime& now, const QLocale& locale) {
    // Without a regional preference (the C locale) use the Japanese form.
    const QString date = locale.language() == QLocale::C ? now.date().toString(QStringLiteral("yyyy/MM/dd"))
                                                         : locale.toString(now.date(), QLocale::ShortFormat);
    const QTime t = now.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0) return date;
    return date + QLatin1Char(' ') + t.toString(QStringLiteral("H:mm:ss"));
}

}  // namespace morvane
