#include "shell/file_errors.h"

#include <cerrno>

#include "simfile/simfile.h"
#include "system/file_error.h"

namespace morvane {
namespace {

QString Local(const std::string& s) { return QString::fromStdString(s); }

// What the command was doing, as a sentence; empty where the first line
// already says it.
QString StepText(const FileError& e) {
    const QString folder = Local(e.Folder());
    switch (e.Step()) {
    case FileStep::NoName: return QStringLiteral("ファイル名が指定されていません。");
    case FileStep::Open: return {};
    case FileStep::Read: return QStringLiteral("読み込みの途中で失敗しました。");
    case FileStep::Create: return QStringLiteral("新しいファイルを作れませんでした。");
    case FileStep::Write: return QStringLiteral("ファイルに書き込めませんでした。");
    case FileStep::WriteFailed: return QStringLiteral("書き込みの途中で失敗しました。");
    case FileStep::FollowLink: return QStringLiteral("シンボリックリンクの先をたどれませんでした。");
    case FileStep::Replace: return QStringLiteral("書き終えたファイルを元のファイルと置き換えられませんでした。");
    case FileStep::FolderNotWritable:
        return QStringLiteral("フォルダー「%1」に新しいファイルを作れません。").arg(folder);
    case FileStep::TemporaryFile:
        return QStringLiteral("保存先のフォルダー「%1」に一時ファイルを作れません。").arg(folder);
    case FileStep::NoReader: return QStringLiteral("このFIFOを読み取っているプログラムがありません。");
    case FileStep::Unknown: return {};
    }
    return {};
}

}  // namespace

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
    case ELOOP: return QStringLiteral("シンボリックリンクが多すぎるか、循環しています。");
    case ENAMETOOLONG: return QStringLiteral("ファイル名またはパスが長すぎます。");
    case EMFILE:
    case ENFILE: return QStringLiteral("開いているファイルが多すぎます。");
    case EBUSY:
    case ETXTBSY: return QStringLiteral("ファイルが使用中です。");
    case ENXIO:
    case ENODEV: return QStringLiteral("指定したデバイスがありません。");
    case EPIPE: return QStringLiteral("書き込み先が閉じられました。");
    default: return {};
    }
}

FileErrorBox FileErrorText(const QString& what, const FileError& e) {
    QString text = what;
    if (!e.Path().empty()) text += QStringLiteral("\nファイル: ") + Local(e.Path());
    const QString step = StepText(e);
    if (!step.isEmpty()) text += QLatin1Char('\n') + step;
    // The cause's number is about the temporary file, not the one named.
    QString cause = e.TemporaryFile() ? QString() : JapaneseCause(e.Code());
    if (cause.isEmpty() && e.Code() != 0 && !e.TemporaryFile())
        cause = QStringLiteral("システムのエラーです（エラー番号 %1）。").arg(e.Code());
    if (!cause.isEmpty()) text += QLatin1Char('\n') + cause;
    return {text, Local(e.what())};
}

}  // namespace morvane
