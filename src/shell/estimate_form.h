#pragma once
// 設定推測: which setting the run on screen was probably played at, from
// what a player could see only, never the machine's setting.
#include <QDialog>
#include <cstdint>
#include <vector>

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
    const std::vector<SettingTheory>& theories_;
    std::vector<double> probabilities_;
    std::vector<double> countProbabilities_;
};

}  // namespace morvane
