#pragma once
// What the program sets up before its first window: its name, icon and font,
// and Qt's own texts (file dialogs, standard buttons, context menus) in
// Japanese like the rest of the window. And what its command line asks: the
// window alone, or with a file the desktop hands over (a double-click on a
// *.sim file starts `morvane FILE`).
#include <QString>
#include <QStringList>

class QApplication;

namespace morvane {

class TMainForm;

// Returns false when Qt's Japanese texts could not be found; the program
// then runs with Qt's English ones.
bool ConfigureApplication(QApplication& app);

struct Launch {
    enum class Kind { Window, Version, Help, Bad };
    Kind kind = Kind::Window;
    // The file the window opens; of several (a desktop may hand over a
    // selection) the first, as the window shows one run.
    QString file;
    QString message;  // Bad: what is wrong
};

// The arguments after the program's name. --version and --help win wherever
// they stand (before "--"), so they answer before Qt has taken its own options.
Launch ParseLaunch(const QStringList& arguments);
QString LaunchUsage();
QString VersionLine();

// Shows the window, then opens the launch's file as the open command does
// once the message loop runs.
void ShowWindow(TMainForm& form, const Launch& launch);

}  // namespace morvane
