#include "shell/services.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>

#include "run/memory.h"

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

std::uint64_t DesktopServices::AvailableMemory() { return AvailableMemoryBytes(); }

void DesktopServices::ShowInformation(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

QString DesktopServices::AskSaveFileName(QWidget* parent, const QString& initial) {
    // The dialog never asks before replacing a file, as users of the batch
    // expect; the name is used as typed.
    return QFileDialog::getSaveFileName(parent, {}, initial, kFilter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString DesktopServices::AskOpenFileName(QWidget* parent, const QString& initial) {
    return QFileDialog::getOpenFileName(parent, {}, initial, kFilter);
}

void DesktopServices::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

void DesktopServices::StartProgram(const QString& path, const QStringList& arguments) {
    QProcess::startDetached(path, arguments);
}

}  // namespace morvane
