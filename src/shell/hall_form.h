#pragma once
// "ホールデータ": setting estimation from what a player at a real machine
// has: the games played, the data counter's BB history (games since the
// previous BB, blue or red, sets) and small wins counted by hand. The
// posterior follows every edit, with what each kind of evidence says alone.
#include <QDialog>
#include <optional>
#include <vector>

#include "estimation/hall_estimate.h"
#include "model/likelihood.h"

class QLabel;
class QLineEdit;
class QTableWidget;
class QTimer;

namespace morvane {

class TJobRunner;
class TNowPanel;
class TPriorBox;

class THallForm : public QDialog {
    Q_OBJECT
public:
    explicit THallForm(QWidget* parent = nullptr);

    // The data as entered; nullopt with a message when an entry is not a
    // number the form can take.
    std::optional<HallData> Data(QString* problem = nullptr) const;
    // Pastes TAB-, comma- or space-separated rows into the BB table from
    // its current cell on, as Ctrl+V does.
    void PasteIntoBBTable(const QString& text);
    // After an edit: a problem with the entries is said at once; otherwise
    // the estimate runs off the window's thread once typing pauses, the
    // last posterior staying in sight until the new one is ready.
    void Recompute();
    // Whether an estimate is awaited.
    bool Computing() const;
    // Whether the figures in sight are of earlier entries than those on
    // screen (being updated, or the entries are refused); FiguresLabel says
    // which entries they are of, and they are greyed.
    bool ShowsEarlierFigures() const { return figuresOf_.has_value() && stale_; }

    struct CountField {
        const char* name;  // as the command line names it
        QLineEdit* edit;
    };

    QLineEdit* GamesEdit;
    QTableWidget* BBTable;
    std::vector<CountField> Counts;
    QLabel* Status;
    QLabel* FiguresLabel;
    QTableWidget* Table;
    TPriorBox* Prior;
    TNowPanel* Now;
    const HallEstimate& Shown() const { return shown_; }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void StartEstimate();
    void EstimateFinished();
    // Entries that give no figures: the last figures stay, marked as of
    // their own entries; with none, the tables are empty.
    void Refuse(const QString& why);
    void MarkStale(bool stale, const QString& note = {});

    HallEstimate shown_;
    bool filling_ = false;
    QTimer* debounce_;
    TJobRunner* runner_;
    std::optional<HallData> waiting_;
    SettingPrior waitingPrior_;          // the data the next posterior is of
    std::optional<HallData> figuresOf_;  // the data of the figures in sight
    bool stale_ = false;
};

}  // namespace morvane
