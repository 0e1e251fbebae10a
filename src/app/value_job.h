#pragma once
// The expected value by game count as a front end asks for it: the table for
// one setting or mixed over the hall's prior, under the hall's money, found off
// the window's thread with a stop; and its text as morvane-sim value prints
// it.
#include <optional>
#include <string>
#include <string_view>

#include "app/job.h"
#include "model/value_by_count.h"

namespace morvane {

// A positive finite decimal such as 50 or 5.6, nothing else.
std::optional<double> ParsePositiveDecimal(std::string_view text);
// "N": medals per 1000 yen, a positive finite decimal (50 is 20 yen a medal).
std::optional<Exchange> ParseExchange(std::string_view text);
// A rate as players name it, medals per 100 yen: "5.6" is 56 per 1000 yen.
std::optional<Exchange> ParseExchangePer100Yen(std::string_view text);
// No hall changes back fewer than 10 medals per 1000 yen (100 yen a
// medal): such a rate was meant per 100 yen.
inline constexpr double kFewestMedalsPer1000Yen = 10;

struct ValueJobRequest {
    // One setting (1..6), or 0 for the prior's mixture.
    int setting = 0;
    SettingPrior prior;
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
    bool spread = true;  // the law of the net: about a second of work
    int threads = 0;     // 0: every core
};

// It does not count its units: the law of the net is found counter by
// counter on all threads at once.
class ValueJob : public Job {
public:
    explicit ValueJob(const ValueJobRequest& request) : request_(request) {}

    // Finds the figures on this thread; false when Stop ended it early. Call once.
    bool Run() override;

    const ValueJobRequest& Request() const { return request_; }
    const CountValue& Result() const { return result_; }
    // The table asked for: the setting's, or the mixture's.
    const CountValueTable& Table() const;

private:
    ValueJobRequest request_;
    CountValue result_;
};

// The columns of the text, in order.
inline constexpr const char* kValueColumns =
    "games_since\tev_medals\tev_games\tp_ceiling\tmedian_medals\tp_ahead\tp10\tp25\tp75\tp90\tev_yen\t"
    "median_yen\tp_ahead_yen\tyen_per_hour\tmedian_yen_se\tp_ahead_yen_se";

// A header line and one TAB-separated line per counter: medals and games to
// six decimals, the ceiling's chance to nine, the chances of coming out
// ahead to six, the percentiles of the net in whole medals, yen to two;
// the standard errors of the yen median and chance ahead last (0 where
// they are exact).
// Without the law of the net its columns are empty.
std::string ValueTableText(const CountValueTable& table);

}  // namespace morvane
