#include "shell/about_box.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include "shell/fonts.h"
#include "shell/icon.h"
#include "shell/links.h"
#include "shell/services.h"
#include "version.h"

namespace morvane {
namespace {

constexpr int kFrameMargin = 6;

// A label that looks and acts like a link: blue, underlined, a hand.
class LinkLabel : public QLabel {
public:
    LinkLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
        : QLabel(text, parent), onClick_(std::move(onClick)) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Qt::blue);
        setPalette(p);
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) onClick_();
    }

private:
    std::function<void()> onClick_;
};

}  // namespace

TAboutBox::TAboutBox(Services& services, QWidget* parent) : QDialog(parent), services_(services) {
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setModal(true);
    setFont(MainFont());
    setFixedSize(298, 213);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 281, 161);

    ProgramIcon = new QLabel(panel);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(40, 8, 32, 32);
    ProgramIcon->setPixmap(ProgramPixmap(32));
    ProgramIcon->setScaledContents(true);

    ProductName = new QLabel(QStringLiteral("Morvane"), panel);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    ProductName->move(88, 16);
    Version = new QLabel(QStringLiteral("Version") + QString::fromLatin1(kMorvaneVersion), panel);
    Version->setObjectName(QStringLiteral("Version"));
    Version->move(88, 40);
    Label2 = new LinkLabel(
        links::kContactCaption, [this] { Label2Click(); }, panel);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(148, 80);
    Label1 = new LinkLabel(
        QStringLiteral("Morvaneのページ"), [this] { Label1Click(); }, panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(196, 144);
    // Whole texts, clear of the raised frame: a label that would run into
    // it moves left.
    const int inner = panel->contentsRect().right() - kFrameMargin;
    for (QLabel* l : {ProductName, Version, Label1, Label2}) {
        l->adjustSize();
        if (l->geometry().right() > inner) l->move(inner - l->width(), l->y());
    }

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* e) {
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    QDialog::showEvent(e);
}

void TAboutBox::Label1Click() { services_.OpenUrl(QUrl(links::kHomePage)); }

void TAboutBox::Label2Click() { services_.OpenUrl(QUrl(QStringLiteral("mailto:") + links::kContactMail)); }

}  // namespace morvane
