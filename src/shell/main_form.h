#pragma once
// TMainForm: the one window. It owns the run session (the machine and the
// runs kept as checkpoints) and the presentation; its handlers read the inputs, call
// the core and move the results into widgets. Built in main_form.cpp, the
// run, open and save commands in run_commands.cpp, the rest in commands.cpp.
#include <QMainWindow>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/session.h"
#include "present/presentation.h"
#include "shell/texts.h"

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
class TSpreadForm;
class THallForm;
class TTheoryForm;
class TValueForm;
class Services;
class FileError;
class TAboutBox;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Seeds the machine from the clock unless a seed is given (tests, tools).
    explicit TMainForm(Services& services, std::optional<std::uint32_t> seed = std::nullopt, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Command handlers, named after their control and event.
    void FileStartMenuClick();
    // Stops a run or a batch in progress (Esc).
    void FileStopMenuClick();
    void StartButtonClic();
    void FileOpenMenuClick();
    void FileSaveMenuClick();
    // The open command on a file the desktop hands over (the command line,
    // a drop on the window) instead of one chosen in the dialog.
    void OpenGivenFile(const QString& path);
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
    void AnalysisSpreadMenuClick();
    void AnalysisHallMenuClick();
    void AnalysisValueMenuClick();

    // The records a save writes and their header; the run on screen.
    const RunRecords& History() const { return session_.Kept(); }
    const SimHeader& HistoryHeader() const { return session_.KeptHeader(); }
    const Presentation& Shown() const { return presentation_; }
    const Slot& Machine() const { return session_.Machine(); }
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
    QAction* FileStopMenu;
    QAction* FileExitMenu;
    QAction* HelpAboutMenu;
    QAction* HelpManMenu;
    QAction* JWord1;
    QAction* N3;
    QAction* N4;
    QAction* AnalysisTheoryMenu;
    QAction* AnalysisEstimateMenu;
    QAction* AnalysisSpreadMenu;
    QAction* AnalysisHallMenu;
    QAction* AnalysisValueMenu;
    TTheoryForm* TheoryForm() const { return theoryForm_; }
    TEstimateForm* EstimateForm() const { return estimateForm_; }
    TSpreadForm* SpreadForm() const { return spreadForm_; }
    THallForm* HallForm() const { return hallForm_; }
    TValueForm* ValueForm() const { return valueForm_; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    class BusyScope;
    struct RunInputs {
        RunRequest request;
        std::int32_t runs = 1;
    };

    void BuildControls();
    void BuildMenus();
    // Runs a handler; an error it does not handle is shown and the program
    // goes on.
    template <class F>
    void Guarded(F&& f);
    void SetStatus(int panel, const QString& text);
    // A file command's failure, in Japanese, the system's words as details.
    void ShowFileError(const QString& what, const FileError& e);

    // The inputs, checked all together before anything changes. Throws
    // InputError (shown in the error box) or ConversionError.
    RunInputs ReadInputs(bool withRuns) const;
    RunEnd SimulateRun(const RunRequest& request);
    // While games are played: the window paints and takes a stop request.
    void KeepResponsive();
    void SimulateBatch(const RunInputs& first);
    void PresentRun();
    // Open's steps after the dialog.
    void OpenFile(const QString& name);
    // The opened file on screen can no longer be read: let go of it and say why.
    void OpenedFileChanged(const QString& message);
    void AddImageItemsTo(QWidget* form);
    // Shows the hidden-setting notice and lets the window paint once before
    // the games hold the thread.
    void BeforeGames(const RunRequest& request);

    Services& services_;
    // The run on screen stays intact while a run, a batch or an open fills
    // the session's other kept run, so the lists never read records that
    // changed.
    RunSession session_;
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
    TSpreadForm* spreadForm_ = nullptr;
    THallForm* hallForm_ = nullptr;
    TValueForm* valueForm_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    QString saveName_ = texts::kInitialFileName;
    QString openName_ = texts::kInitialFileName;
    bool busy_ = false;
    // Set by the stop command or by closing the window; a run or batch in
    // progress ends at its next slice of games.
    bool stopRequested_ = false;
    bool closing_ = false;
};

}  // namespace morvane
