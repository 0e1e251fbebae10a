#pragma once
// 期待値: what a machine is worth by the games its counter shows since the
// last BB (天井期待値), at one setting or mixed over the hall's prior, in
// medals and in yen at the hall's exchange.
#include <QDialog>
#include <optional>

#include "app/value_job.h"
#include "model/value_by_count.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace morvane {

namespace chart {
class ChartView;
}
class TJobRunner;
class TPriorBox;

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
    // The chart's means: every setting, and the prior's mixture.
    const CountValue& ChartFigures() const { return chartFigures_; }
    // Whether the table is of inputs other than those on screen; it is
    // greyed then and the status says which inputs it is of.
    bool ShowsEarlierFigures() const { return shownRequest_.has_value() && stale_; }

    QComboBox* SettingBox;  // 設定1..設定6, then ホールの配分
    TPriorBox* Prior;
    QLineEdit* ExchangeEdit;
    QPushButton* CalcButton;
    QLabel* StatusLabel;
    chart::ChartView* Chart;
    QTableWidget* Table;

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void Present();
    void StopJob();
    // The chart at once; nullopt when an input is refused.
    std::optional<ValueJobRequest> DrawChart();
    // After an input edit: the chart follows, the table says whose it is.
    void InputsChanged();
    std::optional<ValueJobRequest> Inputs() const;

    TJobRunner* runner_;
    CountValueTable shown_;
    CountValue chartFigures_;
    std::optional<ValueJobRequest> shownRequest_;  // the table's
    QString summary_;                              // the status of the table
    bool stale_ = false;
};

}  // namespace morvane
