// Window captions as the X server shows them: exactly the program's own
// texts, with nothing appended by the platform. Runs under Xvfb on the xcb
// platform, where a set application display name would be appended.
#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <QtTest>

#include "fake_services.h"
#include "shell/about_box.h"
#include "shell/main_form.h"
#include "shell/startup.h"

using namespace morvane;

class CaptionTest : public QObject {
    Q_OBJECT
private slots:
    void captionsAreTheTextsThemselves();
};

void CaptionTest::captionsAreTheTextsThemselves() {
    testing::FakeServices services;
    TMainForm form(services, 1u);
    form.show();
    form.AboutBox()->show();
    QMessageBox error(QMessageBox::Critical, texts::kErrorCaption, texts::kCannotSave, QMessageBox::Ok, &form);
    error.show();
    QVERIFY(QTest::qWaitForWindowExposed(&error));
    QApplication::processEvents();
    QProcess tree;
    tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    QVERIFY(tree.waitForFinished(10000));
    const QString names = QString::fromUtf8(tree.readAllStandardOutput());
    for (const QString& caption : {QStringLiteral("Morvane"), QStringLiteral("バージョン情報"), texts::kErrorCaption})
        QVERIFY2(names.contains(QLatin1Char('"') + caption + QStringLiteral("\":")), qPrintable(names));
    QVERIFY2(!names.contains(QStringLiteral(" — ")), qPrintable(names));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    ConfigureApplication(app);
    CaptionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "caption_test.moc"
