#include "shell/main_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <QTimer>
#include <new>

#include "model/theory.h"
#include "present/qt/page_model.h"
#include "shell/about_box.h"
#include "shell/chart_images.h"
#include "shell/estimate_form.h"
#include "shell/fonts.h"
#include "shell/icon.h"
#include "shell/result_list.h"
#include "shell/run_charts.h"
#include "shell/services.h"
#include "shell/spread_form.h"
#include "shell/theory_form.h"
#include "system/memory_room.h"

namespace morvane {
namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

constexpr std::array<QRect, kPageCount> kListBounds = {QRect(4, 4, 373, 173), QRect(4, 5, 453, 172),
                                                       QRect(4, 4, 329, 173), QRect(4, 5, 305, 133),
                                                       QRect(4, 5, 305, 105), QRect(4, 5, 305, 77)};

constexpr int kClientWidth = 608;
constexpr int kClientHeight = 699;
constexpr int kStatusHeight = 21;

}  // namespace

TMainForm::TMainForm(Services& services, std::optional<std::uint32_t> seed, QWidget* parent)
    : QMainWindow(parent), services_(services), session_(seed) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Morvane"));
    setWindowIcon(ProgramIcon());
    setFont(MainFont());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    for (Page page : kAllPages) models_[static_cast<std::size_t>(page)] = new PageModel(presentation_, page, this);
    // The charts' figures are kept as each run is played, not looked for
    // in a second pass over it.
    session_.KeepBarsOfWindowRuns();
    // Heard mid-paint or on a job's thread: answered once the event is over.
    session_.SetReadFailedHook([this](const std::string& message) {
        QMetaObject::invokeMethod(
            this, [this, text = QString::fromStdString(message)] { OpenedFileChanged(text); }, Qt::QueuedConnection);
    });
    BuildMenus();
    BuildControls();
    // Group captions sit on the frame line, so children placed just below
    // the caption (as the layout expects) stay clear of it.
    setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px; padding: 0 2px; "
        "top: 0px; }"));
    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
    setAcceptDrops(true);
    if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());

    aboutBox_ = new TAboutBox(services_, this);
    aboutBox_->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    Timer1->start();
}

TMainForm::~TMainForm() = default;

void TMainForm::BuildMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    file->setObjectName(QStringLiteral("FileMenu"));
    QMenu* analysis = menuBar()->addMenu(QStringLiteral("解析(&K)"));
    analysis->setObjectName(QStringLiteral("AnalysisMenu"));
    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("HelpMenu"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TMainForm::*handler)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
        return a;
    };
    FileOpenMenu = item(file, "FileOpenMenu", QStringLiteral("開く(&O)"), &TMainForm::FileOpenMenuClick);
    FileSaveMenu = item(file, "FileSaveMenu", QStringLiteral("保存(&S)"), &TMainForm::FileSaveMenuClick);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    FileStartMenu = item(file, "FileStartMenu", QStringLiteral("開始(&G)"), &TMainForm::FileStartMenuClick);
    FileStopMenu = item(file, "FileStopMenu", QStringLiteral("中止(&T)"), &TMainForm::FileStopMenuClick);
    FileStopMenu->setShortcut(QKeySequence(Qt::Key_Escape));
    FileExitMenu = item(file, "FileExitMenu", QStringLiteral("終了(&X)"), &TMainForm::FileExitMenuClick);
    AnalysisTheoryMenu =
        item(analysis, "AnalysisTheoryMenu", QStringLiteral("理論値(&T)"), &TMainForm::AnalysisTheoryMenuClick);
    AnalysisEstimateMenu =
        item(analysis, "AnalysisEstimateMenu", QStringLiteral("設定推測(&E)"), &TMainForm::AnalysisEstimateMenuClick);
    AnalysisSpreadMenu =
        item(analysis, "AnalysisSpreadMenu", QStringLiteral("分布(&D)"), &TMainForm::AnalysisSpreadMenuClick);
    AnalysisHallMenu =
        item(analysis, "AnalysisHallMenu", QStringLiteral("ホールデータ(&H)"), &TMainForm::AnalysisHallMenuClick);
    AnalysisValueMenu =
        item(analysis, "AnalysisValueMenu", QStringLiteral("期待値(&V)"), &TMainForm::AnalysisValueMenuClick);
    HelpAboutMenu = item(help, "HelpAboutMenu", QStringLiteral("バージョン情報(&A)"), &TMainForm::HelpAboutMenuClick);
    HelpManMenu = item(help, "HelpManMenu", QStringLiteral("取扱説明書(&C)"), &TMainForm::HelpManMenuClick);
    JWord1 = item(help, "JWord1", QStringLiteral("JWordのインストール"), &TMainForm::JWord1Click);
    help->addSeparator()->setObjectName(QStringLiteral("N2"));
    N3 = item(help, "N3", QStringLiteral("ホームページ"), &TMainForm::N3Click);
    N4 = item(help, "N4", QStringLiteral("広告"), &TMainForm::N4Click);
}

namespace {
// The width that shows the widest number of up to `digits` digits, at most
// `most`, whole in `edit`: the text as wide as the font draws it, and
// around it the margins QLineEdit keeps (two pixels a side, one for the
// cursor) and the frame its style draws.
int NumberEditWidth(const QLineEdit* edit, int digits, const QString& most) {
    const QFontMetrics fm(edit->font());
    int digit = 0;
    for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, fm.horizontalAdvance(QChar::fromLatin1(c)));
    // At most `most`: its first digit at most `most`'s, the rest any digit
    // (an upper bound where the first is `most`'s own).
    int text = fm.horizontalAdvance(most);
    for (char16_t c = u'1'; c <= most.at(0).unicode(); ++c)
        text = std::max(text, fm.horizontalAdvance(QChar(c)) + (digits - 1) * digit);
    const QMargins m = edit->textMargins();
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.state |= QStyle::State_Sunken;
    const QSize inside(text + 2 * 2 + 1 + m.left() + m.right(), fm.height());
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, inside, edit).width();
}
}  // namespace

void TMainForm::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setFixedSize(kClientWidth, kClientHeight - kStatusHeight);
    setCentralWidget(client);

    auto label = [client](const char* name, const QString& text, int x, int y) {
        auto* l = new QLabel(text, client);
        l->setObjectName(QString::fromLatin1(name));
        l->move(x, y);
        l->adjustSize();
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Play数"), 8, 12);
    Label2 = label("Label2", QStringLiteral("設定"), 128, 12);
    Label6 = label("Label6", QStringLiteral("Sim回数"), 224, 12);

    PlayNumEdit = new QLineEdit(QStringLiteral("1"), client);
    PlayNumEdit->setObjectName(QStringLiteral("PlayNumEdit"));
    // A 10-digit count (at most 2147483647) shown whole: wider than the
    // design's box where the font asks for it.
    PlayNumEdit->setGeometry(48, 8, std::max(73, NumberEditWidth(PlayNumEdit, 10, QStringLiteral("2147483647"))), 20);
    FlevelComboBox = new QComboBox(client);
    FlevelComboBox->setObjectName(QStringLiteral("FlevelComboBox"));
    FlevelComboBox->setEditable(true);
    FlevelComboBox->setInsertPolicy(QComboBox::NoInsert);
    FlevelComboBox->addItems({"1", "2", "3", "4", "5", "6", "?"});
    FlevelComboBox->setEditText(QStringLiteral("1"));
    FlevelComboBox->setGeometry(156, 8, 57, 20);
    // A wider count box moves the setting's label as far right, and its
    // box, which shows one character, gives up the room on its left.
    if (const int shift = PlayNumEdit->width() - 73; shift > 0) {
        Label2->move(Label2->x() + shift, Label2->y());
        FlevelComboBox->setGeometry(FlevelComboBox->geometry().adjusted(shift, 0, 0, 0));
    }
    SimNumEdit = new QLineEdit(QStringLiteral("1"), client);
    SimNumEdit->setObjectName(QStringLiteral("SimNumEdit"));
    SimNumEdit->setGeometry(272, 8, 61, 20);

    FlevelButton = new QPushButton(QStringLiteral("設定確認"), client);
    FlevelButton->setObjectName(QStringLiteral("FlevelButton"));
    FlevelButton->setGeometry(156, 32, 57, 21);
    connect(FlevelButton, &QPushButton::clicked, this, [this] { Guarded([this] { FlevelButtonClick(); }); });
    // Right-aligned notice; it ends just left of the reveal button so the
    // two never overlap.
    Label3 = new QLabel(client);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(4, 36, 150, 14);
    Label3->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QPalette red = Label3->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label3->setPalette(red);
    StartButton = new QPushButton(QStringLiteral("開始"), client);
    StartButton->setObjectName(QStringLiteral("StartButton"));
    StartButton->setGeometry(272, 32, 63, 21);
    connect(StartButton, &QPushButton::clicked, this, [this] { Guarded([this] { StartButtonClic(); }); });

    ProgressBar1 = new QProgressBar(client);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(4, 56, 329, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    GroupBox2 = new QGroupBox(QStringLiteral("シミュレーション結果"), client);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(340, 4, 261, 69);
    ResultLabel = new QLabel(GroupBox2);
    ResultLabel->setObjectName(QStringLiteral("ResultLabel"));
    ResultLabel->move(8, 12);

    PageControl1 = new QTabWidget(client);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(4, 76, 597, 209);
    for (Page page : kAllPages) {
        const PageSpec& spec = PageInfo(page);
        auto* sheet = new QWidget;
        sheet->setObjectName(Text(std::string(spec.sheet)));
        auto* list = new ResultList(models_[static_cast<std::size_t>(page)], sheet);
        list->setObjectName(Text(std::string(spec.list)));
        list->setGeometry(kListBounds[static_cast<std::size_t>(page)]);
        list->SetDesignWidth(kListBounds[static_cast<std::size_t>(page)].width());
        lists_[static_cast<std::size_t>(page)] = list;
        connect(list, &ResultList::copiedInPart, this, [this](qint64 copied, qint64 selected) {
            services_.ShowInformation(this, texts::kCopyCaption, texts::CopiedInPart(selected, copied));
        });
        PageControl1->addTab(sheet, Text(std::string(spec.caption)));
    }
    PageControl1->setCurrentIndex(0);

    charts_ = std::make_unique<RunCharts>(client, PageControl1->widget(static_cast<int>(Page::Koyaku)),
                                          PageControl1->widget(static_cast<int>(Page::ModeStay)),
                                          PageControl1->widget(static_cast<int>(Page::KeizokuSelect)));
    for (chart::ChartView* view :
         {charts_->SlumpChart, charts_->SlumpChart2, charts_->KoyakuChart, charts_->ModeStayChart, charts_->KModeChart})
        AddImageItems(view, services_, this);
    for (Page page : {Page::Koyaku, Page::ModeStay, Page::KeizokuSelect})
        charts_->PlacePie(page, List(page)->geometry());

    GroupBox1 = new QGroupBox(QStringLiteral("小役出現表示"), client);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(4, 648, 597, 29);
    auto check = [this](const char* name, const QString& caption, int left, void (TMainForm::*handler)()) {
        auto* c = new QCheckBox(caption, GroupBox1);
        c->setObjectName(QString::fromLatin1(name));
        c->setGeometry(left, 8, 89, 17);
        connect(c, &QCheckBox::clicked, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
        return c;
    };
    Che2CheckBox = check("Che2CheckBox", QStringLiteral("2枚チェリー"), 108, &TMainForm::Che2CheckBoxClick);
    Che4CheckBox = check("Che4CheckBox", QStringLiteral("4枚チェリー"), 196, &TMainForm::Che4CheckBoxClick);
    SuikaACheckBox = check("SuikaACheckBox", QStringLiteral("スイカA"), 284, &TMainForm::SuikaACheckBoxClick);
    SuikaBCheckBox = check("SuikaBCheckBox", QStringLiteral("スイカB"), 360, &TMainForm::SuikaBCheckBoxClick);
    ChanceCheckBox = check("ChanceCheckBox", QStringLiteral("チャンス目"), 432, &TMainForm::ChanceCheckBoxClick);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusHeight);
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 2; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
    panels_[0]->setFixedWidth(400);
    panels_[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panels_[1]->setAlignment(Qt::AlignCenter);
    StatusBar1->addWidget(panels_[0]);
    StatusBar1->addWidget(panels_[1], 1);
    setStatusBar(StatusBar1);
}

template <class F>
void TMainForm::Guarded(F&& f) {
    try {
        f();
    } catch (const std::bad_alloc&) {
        // With the size, as every refusal for memory gives it.
        services_.ShowError(
            this, texts::kProgramCaption,
            texts::kOutOfMemory + QStringLiteral("\n使えるメモリ: %1 バイト").arg(AvailableMemoryBytes()));
    } catch (const std::exception& e) {
        services_.ShowError(this, texts::kProgramCaption, QString::fromUtf8(e.what()));
    }
}

QString TMainForm::StatusText(int panel) const { return panels_[static_cast<std::size_t>(panel)]->text(); }

void TMainForm::SetStatus(int panel, const QString& text) { panels_[static_cast<std::size_t>(panel)]->setText(text); }

void TMainForm::OpenGivenFile(const QString& path) {
    if (busy_) return;
    // The open dialog offers it next.
    Guarded([&] { OpenFile(QFileInfo(path).absoluteFilePath()); });
}

namespace {
// The first local file of a drag; a drop opens one run, as the dialog does.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls()) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}
}  // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* e) {
    if (!busy_ && !DroppedFile(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* e) {
    const QString file = DroppedFile(e->mimeData());
    if (busy_ || file.isEmpty()) return;
    e->acceptProposedAction();
    // Opened once the drop has ended, so an error box does not hold the
    // program the file came from.
    QTimer::singleShot(0, this, [this, file] { OpenGivenFile(file); });
}

void TMainForm::closeEvent(QCloseEvent* e) {
    // A run or a batch stops instead of playing on unseen.
    if (busy_) {
        stopRequested_ = true;
        closing_ = true;
    }
    QMainWindow::closeEvent(e);
}

}  // namespace morvane
