#pragma once
// The two analysis windows: the machine's exact figures per setting, and
// which setting the run on screen was probably played at. Neither reads the
// machine's setting: the estimate uses only what a player could see.
#include <QDialog>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "analysis/spread.h"

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
class PlayHistory;
namespace chart {
class ChartView;
}

// "理論値": long-run figures for settings 1..6 and what a run of the current
// number of games can be expected to give.
class TTheoryForm : public QDialog {
    Q_OBJECT
public:
    TTheoryForm(const std::vector<SettingTheory>& theories, QWidget* parent = nullptr);
    void ShowFor(std::int64_t games);

    QTabWidget* Pages;
    QTableWidget* LongRunTable;
    QTableWidget* ModeTable;
    QTableWidget* WinTable;
    QTableWidget* RunTable;
    QLabel* RunCaption;

private:
    const std::vector<SettingTheory>& theories_;
};

// "設定推測": the exact posterior over settings 1..6 of a play history's
// visible record, with the count-based estimate beside it for comparison.
class TEstimateForm : public QDialog {
    Q_OBJECT
public:
    TEstimateForm(const std::vector<SettingTheory>& theories, QWidget* parent = nullptr);
    void ShowFor(const PlayHistory& history);

    QLabel* Seen;
    chart::ChartView* Chart;
    QTableWidget* Table;
    std::vector<double> Probabilities() const { return probabilities_; }
    std::vector<double> CountProbabilities() const { return countProbabilities_; }

private:
    void ClearChart();
    const std::vector<SettingTheory>& theories_;
    std::vector<double> probabilities_;
    std::vector<double> countProbabilities_;
};

// "分布": many sessions played on background threads, the histogram of
// their final balance and the percentiles of what a session brings. The
// window it belongs to stays usable meanwhile.
class TSpreadForm : public QDialog {
    Q_OBJECT
public:
    explicit TSpreadForm(QWidget* parent = nullptr);
    ~TSpreadForm() override;

    void StartButtonClick();
    void StopButtonClick();
    bool Running() const { return worker_.joinable(); }
    // Tests fix the seed; otherwise each start takes the clock's.
    void SetSeed(std::uint32_t seed);
    // The finished spread's figures (valid once one has finished).
    const SpreadSummary& Summary() const { return summary_; }

    QLineEdit* PlayNumEdit;
    QComboBox* FlevelComboBox;
    QLineEdit* SessionsEdit;
    QPushButton* StartButton;
    QPushButton* StopButton;
    QProgressBar* ProgressBar;
    QLabel* StatusLabel;
    chart::ChartView* Chart;
    QTableWidget* Table;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Poll();
    void Finish();
    void Present();

    QTimer* poll_;
    std::jthread worker_;
    std::atomic<std::int64_t> done_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> completed_{false};
    std::optional<std::uint32_t> seed_;
    SpreadRequest request_;
    std::vector<SessionTally> tallies_;
    SpreadSummary summary_;
};

}  // namespace morvane
