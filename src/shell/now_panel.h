#pragma once
// The machine now, as the 設定推測 and ホールデータ windows show it under
// their posterior: which mode it is likely in, what the next K games and
// the next BB are worth, keep or quit, what K more games of watching may
// tell, and on request how far an estimate from this many games can be
// trusted. The slow figures are found off the window's thread.
#include <QWidget>
#include <optional>

#include "app/more_games_job.h"
#include "app/now_job.h"
#include "machine/medals.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace morvane {

class TJobRunner;
class TMoneyBox;

class TNowPanel : public QWidget {
    Q_OBJECT
public:
    explicit TNowPanel(QWidget* parent = nullptr);

    // Figures for a belief from `recordGames` games; none shows `why`. With
    // `hall`, trust is of hall data of that shape rather than of a record.
    void SetBelief(const std::optional<MachineBelief>& belief, std::int32_t recordGames, const QString& why = {},
                   const std::optional<HallTrustShape>& hall = std::nullopt);
    // K as the edit holds it; nullopt when it is not a whole number of at least 1.
    std::optional<std::int32_t> Horizon() const;
    const std::optional<MachineNow>& Shown() const { return known_.now; }
    // The figures at the money on screen, purchases and all, once found
    // (at once when no medals are bought).
    const std::optional<MachineNow>& Priced() const { return known_.priced; }
    bool Running() const;
    // Stops the slow figures, if any, and waits for their thread.
    void StopJob();
    // Starts trust by simulation of this many sessions.
    void StartTrust(std::int32_t sessions);
    const std::optional<KeepOrQuit>& Keep() const { return known_.keep; }
    // How the best rule's net is spread, and what that advises.
    const std::optional<RuleSpread>& BestSpread() const { return known_.spread; }
    const Advice& Advised() const { return known_.advice; }
    const std::optional<Trust>& TrustFigures() const { return known_.trust; }
    // The value of more games: K and the threshold as the edits hold them
    // (the threshold in percent there, as a share here).
    std::optional<MoreGamesRequest> MoreRequest() const;
    const std::optional<MoreGames>& MoreFigures() const { return known_.more; }
    // Whether figures of more games are awaited.
    bool MoreComputing() const { return moreWaiting_; }

    QLineEdit* HorizonEdit;
    TMoneyBox* Money;          // what the yen are at
    QLabel* MoneyLabel;        // ... said in words
    QTableWidget* StateTable;  // the six modes
    QTableWidget* ValueTable;  // settings 1..6, then mixed
    QLabel* DecisionLabel;
    QPushButton* TrustButton;
    QLabel* TrustLabel;
    QLineEdit* MoreEdit;       // K more games of watching
    QLineEdit* ThresholdEdit;  // percent
    QLabel* MoreLabel;

signals:
    // A slow figure arrived.
    void updated();

private:
    // The figures found for the belief shown; every label's text is made
    // from these and the edits, never from another label's text.
    struct Known {
        std::optional<MachineNow> now;
        std::optional<MachineNow> priced;
        std::optional<KeepOrQuit> keep;
        std::optional<RuleSpread> spread;
        Advice advice;
        std::optional<Trust> trust;
        std::optional<MoreGames> more;
    };

    void Refresh();
    void ShowYen();
    void ShowDecision();
    void ShowTrust();
    void ShowMore();
    void StartJob(const DecisionRequest& r);
    void DecisionFinished(bool completed);
    void StartMore();
    void MoreFinished(bool completed);

    std::optional<MachineBelief> belief_;
    std::int32_t recordGames_ = 0;
    Known known_;
    QString why_;  // why there is no belief, or no trust of it
    TJobRunner* decisions_;
    std::optional<HallTrustShape> hall_;
    TJobRunner* more_;
    QTimer* moreDebounce_;
    bool moreWaiting_ = false;
};

// Medals with a sign and the yen they are at 20 yen a medal: "+128枚（+2,560円）",
// "+0枚（+2円）", "-97枚（-1,940円）". The sign is the figure's own, rounding aside.
QString MedalsAndYen(double medals);
// The same with the yen given: at a hall's money, purchases taken off.
QString MedalsAndYen(double medals, double yen);
// Yen and yen an hour: "-5,882円（時給-3,996円）".
QString YenAndPerHour(double yen, double perHour);
// A chance found by simulation: "12.34%（±0.56%）", or its 95 % bound when
// none or all passed: "0.15%未満", "99.85%超".
QString ShareWords(const ShareWithError& s);

}  // namespace morvane
