#pragma once
// Declaring a command's options on the parser, and reading what was given.
// Values are kept as the user typed them: each command checks its own, so
// every message quotes the value the same way.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "machine/medals.h"
#include "run/setting_choice.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace morvane {

// An option with one value, given at most once. `type` names the value in
// the usage and the help; `fallback` is the default as the help states it
// ("" when there is none).
CLI::Option* AddValueOption(CLI::App& app, const std::string& name, const std::string& type,
                            const std::string& fallback, const std::string& help);
// An option with one value that may be given any number of times.
CLI::Option* AddRepeatedOption(CLI::App& app, const std::string& name, const std::string& type,
                               const std::string& fallback, const std::string& help);
// An option without a value.
CLI::Option* AddFlag(CLI::App& app, const std::string& name, const std::string& help);
// The words that are no option (file names), in order: one, or with `many`
// any number. Words it does not take are left over for the command's
// Unexpected().
CLI::Option* AddWords(CLI::App& app, const std::string& name, bool many, const std::string& help);

// Throws UsageError when an option with one value was given twice.
void RefuseRepeats(const CLI::App& app);

bool Given(const CLI::Option* option);
std::optional<std::string> ValueOf(const CLI::Option* option);
std::vector<std::string> ValuesOf(const CLI::Option* option);

// A 32-bit integer of at least 1; `what` names it in the message.
std::int32_t PositiveValue(const CLI::Option* option, std::int32_t fallback, const char* what);
// A number from 0 to 2^32 - 1; the clock's seconds when not given.
std::uint32_t SeedValue(const CLI::Option* option);
// --setting: 1 to 6, and with `hiddenToo` ? for one drawn at random;
// nothing when not given.
std::optional<SettingChoice> SettingValue(const CLI::Option* option, bool hiddenToo);
// --out: the path given, never empty; nothing when not given.
std::optional<std::string> OutValue(const CLI::Option* option);

// The hall's money: --exchange, --lend, --held and --games-per-hour, the
// same on every command that turns medals into yen.
struct MoneyOptions {
    CLI::Option* exchange = nullptr;
    CLI::Option* lend = nullptr;
    CLI::Option* held = nullptr;
    CLI::Option* gamesPerHour = nullptr;
};
// `what` ends each help: what the yen are of.
MoneyOptions AddMoneyOptions(CLI::App& app, const std::string& what);
struct MoneyGiven {
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
    bool any = false;  // some option was given
};
// Throws UsageError for a value it cannot take; an exchange under 10 medals
// per 1000 yen is refused with the rate most likely meant.
MoneyGiven MoneyValue(const MoneyOptions& options);

}  // namespace morvane
