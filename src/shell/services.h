#pragma once
// What the window asks of the desktop: message boxes, file dialogs, the
// shell. Behind an interface so tests can answer without blocking.
#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace morvane {

class Services {
public:
    virtual ~Services() = default;
    // A modal box with an error icon and one OK button.
    virtual void ShowError(QWidget* parent, const QString& caption, const QString& text) = 0;
    // The same with a details button that shows `details` (the system's own
    // words behind an error) when pressed.
    virtual void ShowErrorDetails(QWidget* parent, const QString& caption, const QString& text,
                                  const QString& details) = 0;
    // The same with an information icon.
    virtual void ShowInformation(QWidget* parent, const QString& caption, const QString& text) = 0;
    // File dialogs with the "*.sim" filter; an empty result means cancelled.
    virtual QString AskSaveFileName(QWidget* parent, const QString& initial) = 0;
    virtual QString AskOpenFileName(QWidget* parent, const QString& initial) = 0;
    // Whether an existing file may be replaced; a modal question, No by default.
    virtual bool AskReplace(QWidget* parent, const QString& path) = 0;
    // A file dialog for a chart image of one format ("png" or "svg"), which
    // adds the format's suffix to a name typed without one and asks before
    // replacing a file. Empty means cancelled.
    virtual QString AskImageFileName(QWidget* parent, const QString& initial, const QString& format) = 0;
    // Shell requests; their outcome is not examined.
    virtual void OpenUrl(const QUrl& url) = 0;
    virtual void StartProgram(const QString& path, const QStringList& arguments) = 0;
};

class DesktopServices : public Services {
public:
    void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
    void ShowErrorDetails(QWidget* parent, const QString& caption, const QString& text,
                          const QString& details) override;
    void ShowInformation(QWidget* parent, const QString& caption, const QString& text) override;
    QString AskSaveFileName(QWidget* parent, const QString& initial) override;
    QString AskOpenFileName(QWidget* parent, const QString& initial) override;
    bool AskReplace(QWidget* parent, const QString& path) override;
    QString AskImageFileName(QWidget* parent, const QString& initial, const QString& format) override;
    void OpenUrl(const QUrl& url) override;
    void StartProgram(const QString& path, const QStringList& arguments) override;
};

}  // namespace morvane
