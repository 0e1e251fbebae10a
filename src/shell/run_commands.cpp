// The window's run, open and save commands: each reads its inputs, calls the
// run session and moves the outcome into the widgets.
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <new>

#include "present/qt/page_model.h"
#include "shell/estimate_form.h"
#include "shell/file_errors.h"
#include "shell/form_input.h"
#include "shell/main_form.h"
#include "shell/result_list.h"
#include "shell/run_charts.h"
#include "shell/services.h"

namespace morvane {
namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

// While a command holds the history or the machine: no re-entry, Start
// disabled; both restored however the command ends.
class TMainForm::BusyScope {
public:
    explicit BusyScope(TMainForm& f) : f_(f) {
        f_.busy_ = true;
        f_.StartButton->setEnabled(false);
    }
    ~BusyScope() {
        f_.busy_ = false;
        f_.StartButton->setEnabled(true);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    TMainForm& f_;
};

TMainForm::RunInputs TMainForm::ReadInputs(bool withRuns) const {
    RunInputs in;
    in.request.games = ToInt(PlayNumEdit->text());
    if (in.request.games < 1) throw InputError{texts::kGamesBelowOne};
    if (withRuns) {
        in.runs = ToInt(SimNumEdit->text());
        if (in.runs < 1) throw InputError{texts::kRunsBelowOne};
    }
    const QString setting = FlevelComboBox->currentText();
    const SettingParse parsed = ReadSetting(setting.toStdString());
    if (parsed.problem == SettingProblem::NotInteger) throw ConversionError(setting);
    if (parsed.problem == SettingProblem::OutOfRange) throw InputError{texts::kSettingOutOfRange};
    in.request.setting = *parsed.choice;
    return in;
}

void TMainForm::StartButtonClic() { FileStartMenuClick(); }

void TMainForm::FileStartMenuClick() {
    if (busy_) return;
    RunInputs in;
    try {
        in = ReadInputs(true);
    } catch (const InputError& e) {
        services_.ShowError(this, texts::kErrorCaption, e.message);
        SetStatus(0, {});
        return;
    }
    BusyScope busy(*this);
    stopRequested_ = false;
    SetStatus(0, texts::kRunning);
    try {
        if (in.runs == 1) {
            if (SimulateRun(in.request) == RunEnd::Stopped) {
                // The stopped run is emptied; the screen shows the run it
                // showed before.
                ProgressBar1->setValue(0);
                SetStatus(0, texts::kRunStopped);
                return;
            }
            PresentRun();
            SetStatus(0, texts::kRunDone);
        } else {
            SimulateBatch(in);
        }
    } catch (...) {
        SetStatus(0, {});
        throw;
    }
}

void TMainForm::FileStopMenuClick() {
    if (busy_) stopRequested_ = true;
}

void TMainForm::KeepResponsive() { QCoreApplication::processEvents(); }

void TMainForm::BeforeGames(const RunRequest& request) {
    Label3->setText(request.setting.hidden ? texts::kHiddenNotice : QString());
    // Let the notice, the status text and the disabled button show once
    // before the games hold the thread.
    QCoreApplication::processEvents();
}

RunEnd TMainForm::SimulateRun(const RunRequest& request) {
    // Kept as checkpoints beside the run on screen, which stays until the
    // new one is presented.
    RunHooks hooks;
    hooks.beforeGames = [this](const RunRequest& r) { BeforeGames(r); };
    hooks.progress = [this](std::int64_t played, std::int64_t total) {
        ProgressBar1->setValue(static_cast<int>(played * 100 / total));
        KeepResponsive();
    };
    hooks.stopRequested = [this] { return stopRequested_; };
    return session_.PlayKept(request, hooks);
}

void TMainForm::SimulateBatch(const RunInputs& first) {
    const QString base = services_.AskSaveFileName(this, saveName_);
    if (base.isEmpty()) {
        SetStatus(0, {});
        return;
    }
    saveName_ = base;
    QString refusal;
    BatchHooks hooks;
    hooks.stopRequested = [this] { return stopRequested_; };
    hooks.nextRequest = [&](int) -> std::optional<RunRequest> {
        // Edits made while the window handled its events take effect from
        // the next run on.
        // A value that is no number stops the batch as one out of range does.
        try {
            return ReadInputs(false).request;
        } catch (const InputError& e) {
            refusal = e.message;
            return std::nullopt;
        } catch (const ConversionError& e) {
            refusal = QString::fromStdString(e.what());
            return std::nullopt;
        }
    };
    hooks.run.beforeGames = [this](const RunRequest& request) {
        StartButton->setEnabled(false);
        BeforeGames(request);
    };
    // The bar moves once per run; the window paints and listens meanwhile.
    hooks.run.progress = [this](std::int64_t, std::int64_t) { KeepResponsive(); };
    hooks.run.stopRequested = [this] { return stopRequested_; };
    hooks.saving = [this](int, const std::string& path, int percent) {
        SetStatus(0, texts::kBatchSaving + Text(path));
        ProgressBar1->setValue(percent);
    };
    // Each run is played as a single run is, then written from its
    // checkpoints, so a batch's run has any length too.
    const BatchResult r =
        session_.SimulateBatch(base.toStdString(), first.runs, first.request, hooks, BatchPlay::Checkpointed);
    switch (r.end) {
    case BatchEnd::Done: SetStatus(0, texts::kSaved); break;
    // Files already written stay whole; the run stopped part-way has none.
    case BatchEnd::Stopped: SetStatus(0, closing_ ? texts::kBatchAborted : texts::kRunStopped); break;
    case BatchEnd::Refused:
        SetStatus(0, texts::kBatchAborted);
        services_.ShowError(this, texts::kErrorCaption, refusal);
        break;
    case BatchEnd::WriteFailed:
        SetStatus(0, texts::kBatchAborted);
        ShowFileError(texts::kCannotSave, r.failure ? *r.failure : FileError(r.error, r.errorCode));
        break;
    }
}

void TMainForm::PresentRun() {
    if (estimateForm_) estimateForm_->Forget();
    StartButton->setEnabled(false);
    charts_->Clear();
    for (PageModel* m : models_) m->BeginReset();
    try {
        presentation_.Present(session_.Kept(), [this](int percent) { ProgressBar1->setValue(percent); });
    } catch (...) {
        // Nothing half-presented stays on screen.
        presentation_.Clear();
        for (PageModel* m : models_) m->EndReset();
        ResultLabel->clear();
        session_.UnshowKept();
        throw;
    }
    for (PageModel* m : models_) m->EndReset();
    // Only the run on screen keeps its memory.
    session_.ShowKept();
    for (ResultList* l : lists_) l->FitColumns();
    for (Page page : {Page::Koyaku, Page::ModeStay, Page::KeizokuSelect})
        charts_->PlacePie(page, List(page)->geometry());
    ResultLabel->setText(Text(presentation_.ResultLabel()));
    ResultLabel->adjustSize();
    List(Page::BB)->scrollToBottom();
    List(Page::ModeChange)->scrollToBottom();
    try {
        charts_->Present(presentation_, session_.Kept());
    } catch (...) {
        charts_->Clear();
        throw;
    }
    // An open 設定推測 follows the run on screen.
    if (estimateForm_ && estimateForm_->isVisible() && presentation_.Records())
        estimateForm_->Follow(*presentation_.Records());
}

void TMainForm::ShowFileError(const QString& what, const FileError& e) {
    const FileErrorBox box = FileErrorText(what, e);
    services_.ShowErrorDetails(this, texts::kErrorCaption, box.text, box.details);
}

void TMainForm::FileSaveMenuClick() {
    if (busy_) return;
    const QString name = services_.AskSaveFileName(this, saveName_);
    if (name.isEmpty()) return;
    saveName_ = name;
    // The dialog itself never asks, as the batch's base name is no file of
    // its own; a save onto a file asks here. A device or a FIFO is written
    // into, not replaced.
    if (QFileInfo(name).isFile() && !services_.AskReplace(this, name)) return;
    try {
        session_.SaveKept(name.toStdString());
    } catch (const FileError& e) {
        SetStatus(0, {});
        ShowFileError(texts::kCannotSave, e);
        return;
    }
    SetStatus(0, texts::kSaved);
}

void TMainForm::FileOpenMenuClick() {
    if (busy_) return;
    const QString name = services_.AskOpenFileName(this, openName_);
    if (name.isEmpty()) return;
    OpenFile(name);
}

void TMainForm::OpenFile(const QString& name) {
    openName_ = name;
    BusyScope busy(*this);
    SetStatus(0, texts::kLoading);
    auto refuse = [&](const QString& message, const QString& status) {
        services_.ShowError(this, texts::kErrorCaption, message);
        SetStatus(0, status);
    };
    // The session reads into fresh storage: whatever the file turns out to
    // be, the run on screen and the one a save writes stay until it is whole.
    RunFileRead r;
    try {
        r = session_.Open(name.toStdString());
    } catch (const FileError& e) {
        ShowFileError(texts::kCannotOpen, e);
        SetStatus(0, {});
        return;
    } catch (const std::bad_alloc&) {
        return refuse(texts::kFileTooLarge, texts::kLoadAborted);
    }
    switch (r.status) {
    case SimStatus::NotSimulation: return refuse(texts::kNotSimulationFile, texts::kLoadAborted);
    case SimStatus::ShortHeader: return refuse(texts::kShortHeader, texts::kLoadAborted);
    case SimStatus::TooLarge: return refuse(texts::kFileTooLarge, texts::kLoadAborted);
    case SimStatus::Ok: break;
    }
    if (r.unrecordableGame) return refuse(texts::UnrecordableGame(*r.unrecordableGame + 1), texts::kLoadAborted);
    FlevelComboBox->setEditText(QString::number(r.header.setting));
    PlayNumEdit->setText(QString::number(r.header.games));
    try {
        PresentRun();
    } catch (...) {
        SetStatus(0, {});
        throw;
    }
    SetStatus(0, texts::kLoaded);
}

void TMainForm::OpenedFileChanged(const QString& message) {
    // A message late for a file already replaced on screen is old news.
    if (!session_.OpenedShown()) return;
    if (estimateForm_) estimateForm_->Forget();
    charts_->Clear();
    for (PageModel* m : models_) m->BeginReset();
    presentation_.Clear();
    for (PageModel* m : models_) m->EndReset();
    ResultLabel->clear();
    session_.CloseOpened();
    SetStatus(0, texts::kFileClosed);
    services_.ShowErrorDetails(this, texts::kErrorCaption, texts::kFileChanged, message);
}

}  // namespace morvane
