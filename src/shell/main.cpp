#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "shell/main_form.h"
#include "shell/services.h"
#include "shell/startup.h"

namespace {

void Print(std::FILE* to, const QString& text) { std::fputs(text.toLocal8Bit().constData(), to); }

}  // namespace

int main(int argc, char** argv) {
    using morvane::Launch;
    // --version and --help answer without a display.
    QStringList raw;
    for (int i = 1; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    const Launch early = morvane::ParseLaunch(raw);
    if (early.kind == Launch::Kind::Version) {
        Print(stdout, morvane::VersionLine());
        return 0;
    }
    if (early.kind == Launch::Kind::Help) {
        Print(stdout, morvane::LaunchUsage());
        return 0;
    }
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out by now.
    const Launch launch = morvane::ParseLaunch(QCoreApplication::arguments().mid(1));
    if (launch.kind == Launch::Kind::Bad) {
        Print(stderr, QStringLiteral("morvane: ") + launch.message + QLatin1Char('\n') + morvane::LaunchUsage());
        return 2;
    }
    morvane::ConfigureApplication(app);
    try {
        morvane::DesktopServices services;
        morvane::TMainForm form(services);
        morvane::ShowWindow(form, launch);
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), QString());
    }
    return 0;
}
