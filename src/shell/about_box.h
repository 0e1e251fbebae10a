#pragma once
// The version box: program name, version, a contact link and the home page.
#include <QDialog>

class QLabel;
class QPushButton;

namespace morvane {

class Services;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(Services& services, QWidget* parent = nullptr);

    void Label1Click();  // home page
    void Label2Click();  // contact mail

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Label1;
    QLabel* Label2;
    QPushButton* OKButton;

protected:
    void showEvent(QShowEvent* e) override;

private:
    Services& services_;
};

}  // namespace morvane
