#include "app/value_job.h"

#include <charconv>
#include <cmath>

#include "system/decimal_text.h"

namespace morvane {

std::optional<double> ParsePositiveDecimal(std::string_view text) {
    double v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || p != end || !std::isfinite(v) || v <= 0) return std::nullopt;
    return v;
}

std::optional<Exchange> ParseExchange(std::string_view text) {
    const auto v = ParsePositiveDecimal(text);
    if (!v) return std::nullopt;
    return Exchange{*v};
}

std::optional<Exchange> ParseExchangePer100Yen(std::string_view text) {
    const auto v = ParsePositiveDecimal(text);
    // Rounded, so that a rate of a few decimals is the one typed: 0.7 * 10
    // is not 7 in binary.
    const double tenfold = v ? std::round(*v * 1e7) / 1e6 : 0;
    if (!std::isfinite(tenfold) || tenfold <= 0) return std::nullopt;
    return Exchange{tenfold};
}

bool ValueJob::Run() {
    CountValueRequest r;
    if (request_.setting != 0) {
        std::array<double, kMaxSetting> w{};
        w[static_cast<std::size_t>(request_.setting - 1)] = 1;
        r.prior = SettingPrior(w);
    } else {
        r.prior = request_.prior;
    }
    r.money = request_.money;
    r.gamesPerHour = request_.gamesPerHour;
    r.spread = request_.spread;
    r.threads = request_.threads;
    r.stop = &StopFlag();
    if (StopRequested()) return false;
    result_ = ValueByGameCount(r);
    return !result_.stopped && !StopRequested();
}

const CountValueTable& ValueJob::Table() const {
    if (request_.setting != 0) return *result_.bySetting[static_cast<std::size_t>(request_.setting - 1)];
    return result_.mixed;
}

std::string ValueTableText(const CountValueTable& table) {
    std::string text = kValueColumns;
    text += '\n';
    auto cell = [&](const std::string& s) {
        text += '\t';
        text += s;
    };
    for (const CountValueRow& r : table.rows) {
        text += std::to_string(r.gamesSince);
        cell(FixedDecimal(r.evMedals, 6));
        cell(FixedDecimal(r.evGames, 6));
        cell(FixedDecimal(r.pCeiling, 9));
        const NetSpread* s = r.spread ? &*r.spread : nullptr;
        cell(s ? std::to_string(s->median) : "");
        cell(s ? FixedDecimal(s->pAhead, 6) : "");
        cell(s ? std::to_string(s->p10) : "");
        cell(s ? std::to_string(s->p25) : "");
        cell(s ? std::to_string(s->p75) : "");
        cell(s ? std::to_string(s->p90) : "");
        cell(FixedDecimal(r.evYen, 2));
        const YenSpread* y = r.yenSpread ? &*r.yenSpread : nullptr;
        cell(y ? FixedDecimal(y->median, 2) : "");
        cell(y ? FixedDecimal(y->pAhead, 6) : "");
        cell(FixedDecimal(r.yenPerHour, 2));
        cell(y ? FixedDecimal(y->medianSE, 2) : "");
        cell(y ? FixedDecimal(y->pAheadSE, 6) : "");
        text += '\n';
    }
    return text;
}

}  // namespace morvane
