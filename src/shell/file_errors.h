#pragma once
// The error box about a file, in Japanese: what failed, the file, what the
// command was doing and why; the system's own words only as details.
#include <QString>

namespace morvane {

class FileError;

// The Japanese words for a system error number, or empty for a rare one.
QString JapaneseCause(int code);

struct FileErrorBox {
    QString text;
    QString details;
};
FileErrorBox FileErrorText(const QString& what, const FileError& e);

}  // namespace morvane
