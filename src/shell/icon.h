#pragma once
#include <QIcon>
#include <QPixmap>

namespace morvane {

// The program's icon, drawn once: a red seven on a gold coin.
QPixmap ProgramPixmap(int size = 32);
QIcon ProgramIcon();

}  // namespace morvane
