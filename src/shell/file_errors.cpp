#include "shell/file_errors.h"

#include <cerrno>

#include "simfile/simfile.h"
#include "system/file_error.h"

namespace morvane {

QString JapaneseCause(int code) {
    switch (code) {
    case ENOSPC:
    case EDQUOT: return QStringLiteral("ディスクの空き容量が足りません。");
    case EACCES:
    case EPERM: return QStringLiteral("このファイルまたはフォルダーに書き込む権限がありません。");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("指定したフォルダーまたはファイルがありません。");
    case EFBIG: return QStringLiteral("ファイルが大きすぎます。");
    case EROFS: return QStringLiteral("読み取り専用のファイルシステムです。");
    case EISDIR: return QStringLiteral("指定した名前はフォルダーです。");
    case EIO: return QStringLiteral("読み書きの途中でエラーが起きました。");
    default: return {};
    }
}

QString FileErrorText(const QString& what, const FileError& e) {
    QString text = what;
    const QString cause = e.TemporaryFile() ? QStringLiteral("保存先のフォルダーに一時ファイルを作れません。")
                                            : JapaneseCause(e.Code());
    if (!cause.isEmpty()) text += QLatin1Char('\n') + cause;
    return text + QLatin1Char('\n') + QString::fromStdString(e.what());
}

}  // namespace morvane
