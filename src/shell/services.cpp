#include "shell/services.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

#include "shell/texts.h"

namespace morvane {
namespace {

const QString kFilter = QStringLiteral("Morvaneファイル (*.sim)");

}  // namespace

void DesktopServices::ShowError(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void DesktopServices::ShowErrorDetails(QWidget* parent, const QString& caption, const QString& text,
                                       const QString& details) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box.setDetailedText(details);
    box.exec();
}

void DesktopServices::ShowInformation(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

QString DesktopServices::AskSaveFileName(QWidget* parent, const QString& initial) {
    // The dialog itself never asks before replacing a file: a batch's base
    // name is never written, and the save command asks on its own. The name
    // is used as typed.
    return QFileDialog::getSaveFileName(parent, {}, initial, kFilter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString DesktopServices::AskOpenFileName(QWidget* parent, const QString& initial) {
    return QFileDialog::getOpenFileName(parent, {}, initial, kFilter);
}

bool DesktopServices::AskReplace(QWidget* parent, const QString& path) {
    QMessageBox box(QMessageBox::Question, texts::kReplaceCaption,
                    texts::ReplaceQuestion(QDir::toNativeSeparators(path)), QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString DesktopServices::AskImageFileName(QWidget* parent, const QString& initial, const QString& format) {
    // A name typed without a suffix gets the format's before the dialog asks
    // about replacing a file of that name.
    QFileDialog dialog(parent, {}, QFileInfo(initial).absolutePath(), texts::ImageFilter(format));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(format);
    dialog.selectFile(initial);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void DesktopServices::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void DesktopServices::StartProgram(const QString& path, const QStringList& arguments) {
    QProcess::startDetached(path, arguments);
}

}  // namespace morvane
