#pragma once
// Services that answer at once and remember what they were asked.
#include <QStringList>
#include <QUrl>
#include <deque>
#include <functional>

#include "shell/services.h"

namespace morvane::testing {

struct Box {
    QString caption;
    QString text;
    QString details;
};

class FakeServices : public Services {
public:
    void ShowError(QWidget*, const QString& caption, const QString& text) override {
        boxes.push_back({caption, text, {}});
        if (onError) onError();
    }
    void ShowErrorDetails(QWidget*, const QString& caption, const QString& text, const QString& details) override {
        boxes.push_back({caption, text, details});
        if (onError) onError();
    }
    void ShowInformation(QWidget*, const QString& caption, const QString& text) override {
        informations.push_back({caption, text, {}});
        if (onInformation) onInformation();
    }
    QString AskSaveFileName(QWidget*, const QString& initial) override {
        saveInitials << initial;
        return Next(saveAnswers);
    }
    QString AskOpenFileName(QWidget*, const QString& initial) override {
        openInitials << initial;
        return Next(openAnswers);
    }
    bool AskReplace(QWidget*, const QString& path) override {
        replaceQuestions << path;
        if (replaceAnswers.empty()) return true;
        const bool yes = replaceAnswers.front();
        replaceAnswers.pop_front();
        return yes;
    }
    QString AskImageFileName(QWidget*, const QString& initial, const QString& format) override {
        imageInitials << initial;
        imageFormats << format;
        return Next(imageAnswers);
    }
    void OpenUrl(const QUrl& url) override { urls << url; }
    void StartProgram(const QString& path, const QStringList& arguments) override {
        programs << path;
        programArguments << arguments;
    }

    std::vector<Box> boxes;  // errors
    std::vector<Box> informations;
    std::function<void()> onInformation;
    std::function<void()> onError;
    std::deque<QString> saveAnswers, openAnswers;  // "" cancels
    QStringList saveInitials, openInitials;
    // Replace questions asked, and their answers (yes when none is queued).
    QStringList replaceQuestions;
    std::deque<bool> replaceAnswers;
    std::deque<QString> imageAnswers;  // "" cancels
    QStringList imageInitials, imageFormats;
    QList<QUrl> urls;
    QStringList programs;
    QList<QStringList> programArguments;

private:
    static QString Next(std::deque<QString>& answers) {
        if (answers.empty()) return {};
        QString a = answers.front();
        answers.pop_front();
        return a;
    }
};

}  // namespace morvane::testing
