#pragma once
// The two analysis windows: the machine's exact figures per setting, and
// which setting the run on screen was probably played at. Neither reads the
// machine's setting: the estimate uses only what a player could see.
#include <QDialog>
#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;
class QTabWidget;

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

}  // namespace morvane
