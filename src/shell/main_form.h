#pragma once
// TMainForm: the one window. It owns the machine, the play histories and the
// presentation; its handlers read the inputs, call the core and move the
// results into widgets.
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "machine/slot.h"
#include "present/presentation.h"
#include "run/history.h"
#include "run/input.h"
#include "simfile/simfile.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QTimer;

namespace morvane {

class PageModel;
class ResultList;
class RunCharts;
class SettingTheory;
class TEstimateForm;
class TTheoryForm;
class Services;
class TAboutBox;

// The window's own texts.
namespace texts {
inline const QString kErrorCaption = QStringLiteral("エラー");
inline const QString kGamesBelowOne = QStringLiteral("Play数は、1以上にしてください。");
inline const QString kRunsBelowOne = QStringLiteral("Sim回数は、1以上にしてください。");
inline const QString kSettingOutOfRange = QStringLiteral("設定は、1から6までの数字か「?」にしてください。");
inline const QString kTooManyGames = QStringLiteral("Play数が大きすぎて、記録がメモリに収まりません。");
inline const QString kRunning = QStringLiteral("シミュレーション実行中・・・");
inline const QString kRunDone = QStringLiteral("シミュレーション完了");
inline const QString kHiddenNotice = QStringLiteral("設定が確認できます。");
inline const QString kBatchSaving = QStringLiteral("シミュレーションファイルに保存中。");
inline const QString kBatchAborted = QStringLiteral("エラーにより強制終了しました。");
inline const QString kSaved = QStringLiteral("シミュレーションファイルに保存完了");
inline const QString kLoading = QStringLiteral("シミュレーションファイルを読み込み中・・・");
inline const QString kLoadAborted = QStringLiteral("シミュレーションファイルの読み込み中断");
inline const QString kLoaded = QStringLiteral("シミュレーションファイルの読み込み完了");
inline const QString kNotSimulationFile = QStringLiteral("このファイルは、Morvaneファイルではありません。");
inline const QString kShortHeader = QStringLiteral("このファイルは、途中で切れています。");
inline const QString kFileTooLarge = QStringLiteral("このファイルは大きすぎて、メモリに収まりません。");
inline const QString kCannotSave = QStringLiteral("シミュレーションファイルに保存できませんでした。");
inline const QString kCannotOpen = QStringLiteral("ファイルを開けませんでした。");
inline const QString kInitialFileName = QStringLiteral("*.sim");
}  // namespace texts

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Seeds the machine from the clock unless a seed is given (tests, tools).
    explicit TMainForm(Services& services, std::optional<std::uint32_t> seed = std::nullopt,
                       QWidget* parent = nullptr);
    ~TMainForm() override;

    // Command handlers, named after their control and event.
    void FileStartMenuClick();
    void StartButtonClic();
    void FileOpenMenuClick();
    void FileSaveMenuClick();
    void FileExitMenuClick();
    void HelpAboutMenuClick();
    void HelpManMenuClick();
    void JWord1Click();
    void N3Click();
    void N4Click();
    void FlevelButtonClick();
    void Timer1Timer();
    void Che2CheckBoxClick();
    void Che4CheckBoxClick();
    void SuikaACheckBoxClick();
    void SuikaBCheckBoxClick();
    void ChanceCheckBoxClick();
    void AnalysisTheoryMenuClick();
    void AnalysisEstimateMenuClick();

    // The play history a save writes and its header; the one on screen.
    const PlayHistory& History() const { return histories_[static_cast<std::size_t>(current_)]; }
    const SimHeader& HistoryHeader() const { return headers_[static_cast<std::size_t>(current_)]; }
    const Presentation& Shown() const { return presentation_; }
    const Slot& Machine() const { return slot_; }
    QString StatusText(int panel) const;
    TAboutBox* AboutBox() const { return aboutBox_; }
    PageModel* Model(Page page) const { return models_[static_cast<std::size_t>(page)]; }
    ResultList* List(Page page) const { return lists_[static_cast<std::size_t>(page)]; }
    bool Busy() const { return busy_; }
    RunCharts& Charts() const { return *charts_; }

    // Controls, named as users and tests know them.
    QLabel* Label1;
    QLineEdit* PlayNumEdit;
    QLabel* Label2;
    QComboBox* FlevelComboBox;
    QLabel* Label6;
    QLineEdit* SimNumEdit;
    QPushButton* FlevelButton;
    QLabel* Label3;
    QPushButton* StartButton;
    QProgressBar* ProgressBar1;
    QGroupBox* GroupBox2;
    QLabel* ResultLabel;
    QTabWidget* PageControl1;
    QGroupBox* GroupBox1;
    QCheckBox* Che2CheckBox;
    QCheckBox* Che4CheckBox;
    QCheckBox* SuikaACheckBox;
    QCheckBox* SuikaBCheckBox;
    QCheckBox* ChanceCheckBox;
    QStatusBar* StatusBar1;
    QTimer* Timer1;
    QAction* FileOpenMenu;
    QAction* FileSaveMenu;
    QAction* FileStartMenu;
    QAction* FileExitMenu;
    QAction* HelpAboutMenu;
    QAction* HelpManMenu;
    QAction* JWord1;
    QAction* N3;
    QAction* N4;
    QAction* AnalysisTheoryMenu;
    QAction* AnalysisEstimateMenu;
    TTheoryForm* TheoryForm() const { return theoryForm_; }
    TEstimateForm* EstimateForm() const { return estimateForm_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    class BusyScope;
    struct RunInputs {
        std::int32_t games = 1;
        std::int32_t runs = 1;
        SettingChoice setting;
    };

    void BuildControls();
    void BuildMenus();
    // Runs a handler; an error it does not handle is shown and the program
    // goes on.
    template <class F>
    void Guarded(F&& f);
    void SetStatus(int panel, const QString& text);

    // The inputs, checked all together before anything changes. Throws
    // InputError (shown in the error box) or ConversionError.
    RunInputs ReadInputs(bool withRuns) const;
    void SimulateRun(const RunInputs& in, bool keepShown);
    void SimulateBatch(const RunInputs& first);
    void PresentRun();
    int SpareIndex() const { return shown_ == current_ ? 1 - current_ : current_; }

    Services& services_;
    Slot slot_;
    // Two histories: the one presented stays intact while a batch or a load
    // fills the other, so the lists never read a history that changed.
    std::array<PlayHistory, 2> histories_;
    std::array<SimHeader, 2> headers_;
    int current_ = 0;
    int shown_ = -1;
    Presentation presentation_;
    std::array<PageModel*, kPageCount> models_{};
    std::array<ResultList*, kPageCount> lists_{};
    std::array<QLabel*, 2> panels_{};
    std::unique_ptr<RunCharts> charts_;
    // The exact figures per setting, computed when first asked for.
    const std::vector<SettingTheory>& Theories();
    std::unique_ptr<std::vector<SettingTheory>> theories_;
    TTheoryForm* theoryForm_ = nullptr;
    TEstimateForm* estimateForm_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    QString saveName_ = texts::kInitialFileName;
    QString openName_ = texts::kInitialFileName;
    bool busy_ = false;
    bool cancelRequested_ = false;
};

}  // namespace morvane
