#include "cli/options.h"

#include <CLI/App.hpp>

#include <charconv>
#include <cmath>
#include <ctime>

#include "app/input.h"
#include "app/value_job.h"
#include "cli/command.h"
#include "cli/quoted.h"

namespace morvane {
namespace {

CLI::Option* AddOption(CLI::App& app, const std::string& name, const std::string& type, const std::string& fallback,
                       const std::string& help, CLI::MultiOptionPolicy policy) {
    CLI::Option* o = app.add_option(name, help);
    // Every use is kept; RefuseRepeats() says which may not repeat.
    o->type_name(type)->default_str(fallback)->multi_option_policy(policy);
    return o;
}

}  // namespace

CLI::Option* AddValueOption(CLI::App& app, const std::string& name, const std::string& type,
                            const std::string& fallback, const std::string& help) {
    return AddOption(app, name, type, fallback, help, CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* AddRepeatedOption(CLI::App& app, const std::string& name, const std::string& type,
                               const std::string& fallback, const std::string& help) {
    return AddOption(app, name, type, fallback, help, CLI::MultiOptionPolicy::TakeAll);
}

CLI::Option* AddFlag(CLI::App& app, const std::string& name, const std::string& help) {
    // "--plays=no" would otherwise count as --plays.
    return app.add_flag(name, help)->disable_flag_override();
}

CLI::Option* AddWords(CLI::App& app, const std::string& name, bool many, const std::string& help) {
    CLI::Option* o = app.add_option(name, help);
    o->type_name("")->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)->expected(1);
    // A positional takes further words only with extra arguments allowed.
    o->allow_extra_args(many);
    return o;
}

void RefuseRepeats(const CLI::App& app) {
    for (const CLI::Option* o : app.get_options()) {
        if (o->get_positional() || o->get_type_size() == 0) continue;
        if (o->get_multi_option_policy() == CLI::MultiOptionPolicy::TakeAll) continue;
        if (o->count() > 1) throw UsageError{"option " + o->get_name() + " given twice"};
    }
}

bool Given(const CLI::Option* option) { return option->count() > 0; }

std::optional<std::string> ValueOf(const CLI::Option* option) {
    if (option->results().empty()) return std::nullopt;
    return option->results().back();
}

std::vector<std::string> ValuesOf(const CLI::Option* option) { return option->results(); }

std::int32_t PositiveValue(const CLI::Option* option, std::int32_t fallback, const char* what) {
    const auto text = ValueOf(option);
    if (!text) return fallback;
    const auto v = ParseInt32(*text);
    if (!v) throw UsageError{std::string(what) + " " + Quoted(*text) + " is not a 32-bit integer"};
    if (*v < 1) throw UsageError{std::string(what) + " must be at least 1, not " + Quoted(*text)};
    return *v;
}

std::uint32_t SeedValue(const CLI::Option* option) {
    const auto text = ValueOf(option);
    if (!text) return static_cast<std::uint32_t>(std::time(nullptr));
    const std::string& s = *text;
    // Leading zeros are taken as for every other number: "007" is 7.
    std::uint64_t v = 0;
    bool ok = !s.empty();
    for (char c : s) {
        ok = ok && c >= '0' && c <= '9';
        if (ok) v = v * 10 + static_cast<std::uint64_t>(c - '0');
        ok = ok && v <= UINT32_MAX;
    }
    if (!ok) throw UsageError{"seed " + Quoted(s) + " is not a number from 0 to 4294967295"};
    return static_cast<std::uint32_t>(v);
}

std::optional<SettingChoice> SettingValue(const CLI::Option* option, bool hiddenToo) {
    const auto text = ValueOf(option);
    if (!text) return std::nullopt;
    const auto setting = ParseSetting(*text);
    if (!setting || (setting->hidden && !hiddenToo))
        throw UsageError{"setting " + Quoted(*text) + (hiddenToo ? " must be 1 to 6 or ?" : " must be 1 to 6")};
    return setting;
}

std::optional<std::string> OutValue(const CLI::Option* option) {
    auto path = ValueOf(option);
    if (path && path->empty()) throw UsageError{"--out needs a file name"};
    return path;
}

MoneyOptions AddMoneyOptions(CLI::App& app, const std::string& what) {
    MoneyOptions o;
    o.exchange = AddValueOption(app, "--exchange", "N", "50 (20 yen a medal)",
                                "medals changed back per 1000 yen (56 for 5.6 medals per 100 yen), " + what);
    o.lend = AddValueOption(app, "--lend", "L", "50", "medals bought for 1000 yen, " + what);
    o.held = AddValueOption(app, "--held", "M|all", "all",
                            "medals held at the start, bought when fewer than 3 are left (0: cash play), " + what);
    o.gamesPerHour = AddValueOption(app, "--games-per-hour", "N", "750", "games played in an hour, " + what);
    return o;
}

namespace {

// The shortest text that reads back to v, rounded to six decimals: 56, 5.6.
std::string Shortest(double v) {
    v = std::round(v * 1e6) / 1e6;
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

}  // namespace

MoneyGiven MoneyValue(const MoneyOptions& o) {
    MoneyGiven g;
    g.any = Given(o.exchange) || Given(o.lend) || Given(o.held) || Given(o.gamesPerHour);
    if (const auto e = ValueOf(o.exchange)) {
        const auto exchange = ParseExchange(*e);
        if (!exchange) throw UsageError{"exchange " + Quoted(*e) + " must be a positive number of medals per 1000 yen"};
        const double v = exchange->medalsPer1000Yen;
        if (v < kFewestMedalsPer1000Yen)
            throw UsageError{Shortest(v) + " medals per 1000 yen is " + Shortest(std::round(exchange->YenPerMedal())) +
                             " yen a medal; for " + Shortest(v) + "枚交換 give " + Shortest(v * 10)};
        g.money.exchange = *exchange;
    }
    if (const auto l = ValueOf(o.lend)) {
        const auto lend = ParsePositiveDecimal(*l);
        if (!lend) throw UsageError{"lend " + Quoted(*l) + " must be a positive number of medals per 1000 yen"};
        g.money.lendPer1000Yen = *lend;
    }
    if (const auto h = ValueOf(o.held); h && *h != "all") {
        std::int64_t v = -1;
        const char* end = h->data() + h->size();
        const auto [p, ec] = std::from_chars(h->data(), end, v);
        if (h->empty() || (*h)[0] == '-' || ec != std::errc() || p != end || v < 0)
            throw UsageError{"held " + Quoted(*h) + " must be a whole number of medals from 0, or all"};
        g.money.held = v;
    }
    if (const auto n = ValueOf(o.gamesPerHour)) {
        const auto games = ParsePositiveDecimal(*n);
        if (!games) throw UsageError{"games per hour " + Quoted(*n) + " must be a positive number"};
        g.gamesPerHour = *games;
    }
    return g;
}

}  // namespace morvane
