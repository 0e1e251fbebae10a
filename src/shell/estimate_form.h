#pragma once
// 設定推測: which setting the run on screen was probably played at, from
// what a player could see only, never the machine's setting; under the
// hall's prior, with the machine's hidden state now and what playing on is
// worth.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/now_job.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;

namespace morvane {

class SettingTheory;
class RunRecords;
class TPriorBox;
class TNowPanel;
namespace chart {
class ChartView;
}

// "設定推測": the exact posterior over settings 1..6 of a run's
// visible record under the prior, with the count-based estimate beside it
// for comparison, and the machine now (TNowPanel).
class TEstimateForm : public QDialog {
    Q_OBJECT
public:
    TEstimateForm(const std::vector<SettingTheory>& theories, QWidget* parent = nullptr);
    ~TEstimateForm() override;
    // Shows the figures of a run's `records`, read in order, and brings the
    // window up. The records must stay until Forget() or the next
    // ShowFor/Follow.
    void ShowFor(const RunRecords& records);
    // The same without raising the window: the run on screen changed.
    void Follow(const RunRecords& records);
    // The records are about to change: nothing is computed from them until
    // the next Follow.
    void Forget();

    QLabel* Seen;
    QLabel* EarlierLabel;  // says when the figures are of a play gone from the screen
    TPriorBox* Prior;
    chart::ChartView* Chart;
    QTableWidget* Table;
    TNowPanel* Now;
    std::vector<double> Probabilities() const { return probabilities_; }
    std::vector<double> CountProbabilities() const { return countProbabilities_; }
    // Whether the figures in sight are of a play no longer on screen
    // (between Forget and Follow); they are greyed and EarlierLabel says so.
    bool ShowsEarlierFigures() const { return !records_ && !probabilities_.empty(); }

private:
    void Recompute();

    const std::vector<SettingTheory>& theories_;
    const RunRecords* records_ = nullptr;
    std::vector<double> probabilities_;
    std::vector<double> countProbabilities_;
    std::int64_t shownGames_ = 0;  // of the figures in sight
};

}  // namespace morvane
