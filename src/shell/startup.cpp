#include "shell/startup.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "shell/fonts.h"
#include "shell/icon.h"

namespace morvane {

bool ConfigureApplication(QApplication& app) {
    // No display name: the platform would append it to every caption.
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setFont(MainFont());
    // Every text the user sees is Japanese, whatever the system's language,
    // so Qt's own texts are too.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    auto* qt = new QTranslator(&app);
    if (!qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QApplication::installTranslator(qt);
    return true;
}

}  // namespace morvane
