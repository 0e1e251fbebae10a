#pragma once
// The text of an error box about a file: what failed, the common cause in
// Japanese where there is one, then the system's own message.
#include <QString>

namespace morvane {

class FileError;

// The Japanese words for a system error number, or empty for a rare one.
QString JapaneseCause(int code);
QString FileErrorText(const QString& what, const FileError& e);

}  // namespace morvane
