#pragma once
// What the program sets up before its first window: its name, icon and font,
// and Qt's own texts (file dialogs, standard buttons, context menus) in
// Japanese like the rest of the window.
class QApplication;

namespace morvane {

// Returns false when Qt's Japanese texts could not be found; the program
// then runs with Qt's English ones.
bool ConfigureApplication(QApplication& app);

}  // namespace morvane
