#pragma once
// The window's own texts, in one place so commands and tests share them.
#include <QString>

namespace morvane::texts {

inline const QString kErrorCaption = QStringLiteral("エラー");
inline const QString kGamesBelowOne = QStringLiteral("Play数は、1以上にしてください。");
inline const QString kRunsBelowOne = QStringLiteral("Sim回数は、1以上にしてください。");
inline const QString kSettingOutOfRange = QStringLiteral("設定は、1から6までの数字か「?」にしてください。");
inline const QString kRunning = QStringLiteral("シミュレーション実行中・・・");
inline const QString kRunDone = QStringLiteral("シミュレーション完了");
inline const QString kRunStopped = QStringLiteral("シミュレーションを中止しました。");
inline const QString kHiddenNotice = QStringLiteral("設定が確認できます。");
inline const QString kBatchSaving = QStringLiteral("シミュレーションファイルに保存中。");
inline const QString kBatchAborted = QStringLiteral("エラーにより強制終了しました。");
inline const QString kSaved = QStringLiteral("シミュレーションファイルに保存完了");
inline const QString kLoading = QStringLiteral("シミュレーションファイルを読み込み中・・・");
inline const QString kLoadAborted = QStringLiteral("シミュレーションファイルの読み込み中断");
inline const QString kLoaded = QStringLiteral("シミュレーションファイルの読み込み完了");
inline const QString kFileChanged = QStringLiteral(
    "開いているファイルが、開いた後で書き換えられたか切り詰められました。表示を閉じました。もう一度開いてください。");
inline const QString kFileClosed = QStringLiteral("シミュレーションファイルを閉じました");
inline const QString kNotSimulationFile = QStringLiteral("このファイルは、Morvaneファイルではありません。");
inline const QString kShortHeader = QStringLiteral("このファイルは、途中で切れています。");
inline QString UnrecordableGame(qulonglong game) {
    return QStringLiteral("%1ゲーム目に、この機械が記録しない値があります。").arg(game);
}
inline const QString kFileTooLarge = QStringLiteral("このファイルは大きすぎて、メモリに収まりません。");
inline const QString kCannotSave = QStringLiteral("シミュレーションファイルに保存できませんでした。");
inline const QString kCannotOpen = QStringLiteral("ファイルを開けませんでした。");
inline const QString kOutOfMemory = QStringLiteral("メモリが足りません。");
// A copy cut at the rows a spreadsheet takes: the rows selected, the rows copied.
inline QString CopiedInPart(qint64 selected, qint64 copied) {
    return QStringLiteral("%1行が選択されています。コピーしたのは先頭の%2行です。").arg(selected).arg(copied);
}
inline const QString kCopyCaption = QStringLiteral("コピー");
inline const QString kReplaceCaption = QStringLiteral("確認");
inline QString ReplaceQuestion(const QString& path) {
    return QStringLiteral("%1 は既にあります。\n置き換えますか？").arg(path);
}
// Chart images: the context menu's items and the dialog's filter.
inline const QString kSavePng = QStringLiteral("PNG画像として保存(&P)...");
inline const QString kSaveSvg = QStringLiteral("SVG画像として保存(&S)...");
inline QString ImageFilter(const QString& format) {
    return QStringLiteral("%1画像 (*.%2)").arg(format.toUpper(), format);
}
inline const QString kCannotSaveImage = QStringLiteral("画像を保存できませんでした。");
inline const QString kProgramCaption = QStringLiteral("Morvane");
inline const QString kInitialFileName = QStringLiteral("*.sim");

}  // namespace morvane::texts
