#pragma once
// 期待値: what a machine is worth by the games its counter shows since the
// last BB (天井期待値), at one setting or mixed over the hall's prior, in
// medals and in yen under the hall's money: the exchange rate, the lending
// rate and whether the player pays cash or plays from medals held.
#include <QDialog>
#include <optional>

#include "app/value_job.h"
#include "model/value_by_count.h"
#include "shell/money_box.h"

class QComboBox;
class QLineSeries;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace morvane {

namespace chart {
class ChartView;
}
class TJobRunner;
class TPriorBox;
class TMoneyBox;

class TValueForm : public QDialog {
    Q_OBJECT
public:
    explicit TValueForm(QWidget* parent = nullptr);

    // Reads the inputs, draws the chart at once and finds the table's law of
    // the net off the window's thread; the table fills in when it is done.
    void CalcButtonClick();
    bool Running() const;
    // The table shown (valid once a calculation has finished).
    const CountValueTable& Shown() const { return shown_; }
    // The request of the table shown, or of the one being found.
    const std::optional<ValueJobRequest>& ShownRequest() const { return shownRequest_; }
    // The chart's means: every setting, and the prior's mixture.
    const CountValue& ChartFigures() const { return chartFigures_; }
    // Whether the table is of inputs other than those on screen: greyed
    // while the new figures are found, or while an input is refused.
    bool ShowsEarlierFigures() const { return shownRequest_.has_value() && stale_; }
    // The row the counter field marks, if its text is a counter.
    std::optional<int> MarkedRow() const { return marked_; }

    QComboBox* SettingBox;   // 設定1..設定6, then ホールの配分
    TMoneyBox* Money;        // the fields below
    QComboBox* ExchangeBox;  // medals per 100 yen: the common rates, or typed
    QLineEdit* LendEdit;     // medals bought for 1000 yen
    QRadioButton* CashButton;
    QRadioButton* HeldButton;
    QLineEdit* HeldEdit;  // the medals held, or all
    QLineEdit* GamesPerHourEdit;
    QLineEdit* CounterEdit;  // the data counter's games since the last BB
    TPriorBox* Prior;
    QPushButton* CalcButton;
    QLabel* StatusLabel;
    QLabel* MoneyLabel;  // the money every yen figure is under
    chart::ChartView* Chart;
    QTableWidget* Table;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Present();
    void StopJob();
    // The chart at once; nullopt when an input is refused, which the status
    // then words.
    std::optional<ValueJobRequest> DrawChart();
    // After an input edit: the chart follows at once, and the table is
    // found anew for the inputs on screen.
    void InputsChanged();
    void StartJob(const ValueJobRequest& request);
    std::optional<ValueJobRequest> Inputs(QString* problem) const;
    void MarkCounter();

    TJobRunner* runner_;
    CountValueTable shown_;
    CountValue chartFigures_;
    std::optional<ValueJobRequest> shownRequest_;  // the table's
    std::optional<ValueJobRequest> running_;       // the one being found
    QString summary_;                              // the status of the table
    bool stale_ = false;
    std::optional<int> marked_;
    QLineSeries* counterLine_ = nullptr;  // on the chart, at the counter's games
    double chartBottom_ = 0, chartTop_ = 0;
};

}  // namespace morvane
