#pragma once
// 分布: the spread of many sessions, played off the window's thread.
#include <QDialog>
#include <cstdint>
#include <optional>

#include "app/spread_job.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace morvane {

namespace chart {
class ChartView;
}
class TJobRunner;

// "分布": many sessions played on background threads, the histogram of
// their final balance and the percentiles of what a session brings. The
// window it belongs to stays usable meanwhile.
class TSpreadForm : public QDialog {
    Q_OBJECT
public:
    explicit TSpreadForm(QWidget* parent = nullptr);

    void StartButtonClick();
    void StopButtonClick();
    bool Running() const;
    // Tests fix the seed; otherwise each start takes the clock's.
    void SetSeed(std::uint32_t seed);
    // The finished spread's figures (valid once one has finished).
    const SpreadSummary& Summary() const { return result_.summary; }

    QLineEdit* PlayNumEdit;
    QComboBox* FlevelComboBox;
    QLineEdit* SessionsEdit;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QProgressBar* ProgressBar;
    QLabel* StatusLabel;
    chart::ChartView* Chart;
    QTableWidget* Table;
    // The worst and best sessions, with the seeds that replay them.
    QLabel* EndsLabel;
    // Whether the figures shown are of inputs other than those on screen,
    // or of a run before the one last started; they are greyed then.
    bool ShowsEarlierFigures() const { return shown_ && stale_; }

    // Esc, as well as the close button, ends the run.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Finish(bool completed);
    void Present();
    void ClearResults();
    void FitColumns();
    // After an input edit: says whether the figures below are the inputs'.
    void InputsChanged();
    void MarkStale(bool stale);
    bool InputsAreShown() const;
    QString ShownInputs() const;

    TJobRunner* runner_;
    std::optional<std::uint32_t> seed_;
    SpreadResult result_;
    bool shown_ = false;  // result_'s figures are on screen
    bool stale_ = false;
    bool fresh_ = false;  // they are of the last run started
    QString summary_;     // what the status says of them
};

}  // namespace morvane
