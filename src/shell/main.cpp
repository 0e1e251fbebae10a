#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "shell/main_form.h"
#include "shell/services.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    morvane::ConfigureApplication(app);
    try {
        morvane::DesktopServices services;
        morvane::TMainForm form(services);
        form.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), QString::fromUtf8(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, QStringLiteral("Morvane"), QString());
    }
    return 0;
}
