#include "shell/startup.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include "shell/fonts.h"
#include "shell/icon.h"
#include "shell/main_form.h"
#include "version.h"

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

Launch ParseLaunch(const QStringList& arguments) {
    Launch launch;
    QStringList files;
    bool options = true;
    for (const QString& a : arguments) {
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && a == QLatin1String("--version")) {
            return {Launch::Kind::Version, {}, {}};
        } else if (options && (a == QLatin1String("--help") || a == QLatin1String("-h"))) {
            return {Launch::Kind::Help, {}, {}};
        } else if (options && a.startsWith(QLatin1Char('-')) && a != QLatin1String("-")) {
            if (launch.kind != Launch::Kind::Bad)
                launch = {Launch::Kind::Bad, {}, QStringLiteral("unknown option ") + a};
        } else {
            files << a;
        }
    }
    // Taken as named where the program started, whatever it does later.
    if (launch.kind == Launch::Kind::Window && !files.isEmpty())
        launch.file = QFileInfo(files.first()).absoluteFilePath();
    return launch;
}

QString LaunchUsage() {
    return QStringLiteral(
        "usage: morvane [FILE.sim...]\n"
        "       morvane --version | --help\n"
        "Starts the Morvane window; with a simulation file, opens it as ファイル > 開く does\n"
        "(of several files, the first). The command line without a window is morvane-sim.\n");
}

QString VersionLine() { return QStringLiteral("morvane ") + QString::fromLatin1(kMorvaneVersion) + QLatin1Char('\n'); }

void ShowWindow(TMainForm& form, const Launch& launch) {
    form.show();
    if (launch.file.isEmpty()) return;
    QTimer::singleShot(0, &form, [&form, file = launch.file] { form.OpenGivenFile(file); });
}

}  // namespace morvane
