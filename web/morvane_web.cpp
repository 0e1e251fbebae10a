// The web page's way into the core: value and estimate with the command
// line's options, given as one JSON object, and their answer as the JSON
// document morvane-sim prints with --format json, built by the same report
// code. Input the command line would refuse comes back as
// {"error": {"field": ..., "message": ...}} with the message in the page's
// Japanese, so the page can show it next to the field.
#include <emscripten/bind.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "app/hall_input.h"
#include "app/input.h"
#include "app/reports.h"
#include "app/run_file.h"
#include "app/value_job.h"
#include "estimation/exact_estimate.h"
#include "estimation/hall_estimate.h"
#include "estimation/keep_or_quit.h"
#include "estimation/machine_belief.h"
#include "estimation/machine_now.h"
#include "estimation/more_games.h"
#include "estimation/purchases_ahead.h"
#include "estimation/trust.h"
#include "machine/medals.h"
#include "machine/vocabulary.h"
#include "model/setting_prior.h"

namespace morvane {
namespace {

using Json = nlohmann::json;

// Bad input: the option it is about and what to tell the player.
struct Refusal {
    std::string field;
    std::string message;
};

std::string Refused(const Refusal& r) { return Json{{"error", {{"field", r.field}, {"message", r.message}}}}.dump(); }

// An option's text as the player typed it, or the number a script gave.
std::optional<std::string> TextOf(const Json& options, const char* name) {
    if (!options.contains(name) || options[name].is_null()) return std::nullopt;
    const Json& v = options[name];
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number_integer()) return std::to_string(v.get<std::int64_t>());
    if (v.is_number()) return v.dump();
    if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
    return v.dump();
}

bool Truthy(const Json& options, const char* name) {
    return options.contains(name) && options[name].is_boolean() && options[name].get<bool>();
}

// A whole number from `least` up, the command line's ParseInt32.
std::optional<std::int32_t> WholeOption(const Json& options, const char* name, std::int32_t least,
                                        const std::string& message) {
    const auto text = TextOf(options, name);
    if (!text) return std::nullopt;
    const auto v = ParseInt32(*text);
    if (!v || *v < least) throw Refusal{name, message};
    return v;
}

// A decimal written the command line's way (fixed form, no exponent).
std::optional<double> DecimalOption(const Json& options, const char* name) {
    const auto text = TextOf(options, name);
    if (!text) return std::nullopt;
    const auto e = ParseExchange(*text);  // positive finite fixed-form decimal
    if (!e) return -1;
    return e->medalsPer1000Yen;
}

const char* const kPriorMessage = "設定配分の重みは0以上の数にしてください（すべて0にはできません）。";

SettingPrior PriorOption(const Json& options) {
    if (!options.contains("prior") || options["prior"].is_null()) return {};
    const Json& p = options["prior"];
    if (p.is_string()) {
        const auto prior = ParseSettingPrior(p.get<std::string>());
        if (!prior) throw Refusal{"prior", kPriorMessage};
        return *prior;
    }
    if (!p.is_array() || p.size() != kMaxSetting) throw Refusal{"prior", kPriorMessage};
    std::array<double, kMaxSetting> w{};
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (p[i].is_number()) {
            w[i] = p[i].get<double>();
        } else if (p[i].is_string()) {
            const std::string t = p[i].get<std::string>();
            const auto v = t == "0" ? std::optional<Exchange>(Exchange{0}) : ParseExchange(t);
            if (!v) throw Refusal{"prior", kPriorMessage};
            w[i] = v->medalsPer1000Yen;
        } else {
            throw Refusal{"prior", kPriorMessage};
        }
    }
    try {
        return SettingPrior(w);
    } catch (const std::invalid_argument&) {
        throw Refusal{"prior", kPriorMessage};
    }
}

std::uint32_t SeedOption(const Json& options) {
    const auto text = TextOf(options, "seed");
    if (!text) return 1;  // the window's figures
    std::uint64_t v = 0;
    if (text->empty() || text->size() > 10)
        throw Refusal{"seed", "シードは、0から4294967295までの整数にしてください。"};
    for (char c : *text) {
        if (c < '0' || c > '9') throw Refusal{"seed", "シードは、0から4294967295までの整数にしてください。"};
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > 4294967295u) throw Refusal{"seed", "シードは、0から4294967295までの整数にしてください。"};
    return static_cast<std::uint32_t>(v);
}

// The hall's money as value takes it: --exchange, --lend, --held and
// --games-per-hour.
struct MoneyAsked {
    HallMoney money;
    double gamesPerHour = kDefaultGamesPerHour;
    bool any = false;
    bool onlyExchange = true;  // neither lend, held nor games per hour
};

MoneyAsked MoneyOf(const Json& options) {
    MoneyAsked m;
    if (const auto e = DecimalOption(options, "exchange")) {
        if (*e <= 0) throw Refusal{"exchange", "交換率は、1000円あたりの枚数を正の数で入れてください（等価は50）。"};
        // Fewer than 10 a 1000 yen is a rate meant per 100 yen.
        if (*e < kFewestMedalsPer1000Yen)
            throw Refusal{"exchange", "交換率は1000円あたりの枚数です（5.6枚交換なら56）。"};
        m.money.exchange = Exchange{*e};
        m.any = true;
    }
    if (const auto l = DecimalOption(options, "lend")) {
        if (*l <= 0) throw Refusal{"lend", "貸し玉は、1000円あたりの枚数を正の数で入れてください（ふつうは50）。"};
        m.money.lendPer1000Yen = *l;
        m.any = true;
        m.onlyExchange = false;
    }
    if (const auto h = TextOf(options, "held"); h && *h != "all") {
        const auto v = ParseInt32(*h);
        if (!v || *v < 0 || h->front() == '-')
            throw Refusal{"held", "持ちメダルは、0以上の枚数か all にしてください。"};
        m.money.held = *v;
        m.any = true;
        m.onlyExchange = false;
    }
    if (const auto g = DecimalOption(options, "games_per_hour")) {
        if (*g <= 0) throw Refusal{"games_per_hour", "1時間のゲーム数は、正の数にしてください。"};
        m.gamesPerHour = *g;
        m.any = true;
        m.onlyExchange = false;
    }
    return m;
}

std::string ValueJsonOf(const Json& options) {
    ValueJobRequest request;
    const auto setting = WholeOption(options, "setting", kMinSetting, "設定は、1から6までの数字にしてください。");
    if (setting && *setting > kMaxSetting) throw Refusal{"setting", "設定は、1から6までの数字にしてください。"};
    const bool priorGiven = options.contains("prior") && !options["prior"].is_null();
    if (setting && priorGiven) throw Refusal{"prior", "設定と設定配分は、どちらか一方だけにしてください。"};
    if (!setting && !priorGiven) throw Refusal{"setting", "設定か設定配分を入れてください。"};
    if (setting)
        request.setting = *setting;
    else
        request.prior = PriorOption(options);
    const MoneyAsked money = MoneyOf(options);
    request.money = money.money;
    request.gamesPerHour = money.gamesPerHour;
    request.spread = !(options.contains("spread") && options["spread"].is_boolean() && !options["spread"].get<bool>());
    request.threads = 1;
    ValueJob job(request);
    job.Run();
    return ReportText(ValueReport(request, job.Table()), ReportFormat::Json);
}

// The hall window's words for what is wrong with a BB of the history.
std::string BBMessage(std::size_t index, const std::string& given, const HallBBReading& r) {
    const std::string line = "BB履歴の" + std::to_string(index + 1) + "行目「" + given + "」の";
    switch (r.wrong) {
    case HallBBPart::Games:
        return r.text.empty() || r.text.front() < '0' || r.text.front() > '9'
                   ? line + "ゲーム数がありません（前のBBからのゲーム数、1以上の整数）。"
                   : line + "ゲーム数「" + r.text + "」が読めません（前のBBからのゲーム数、1以上の整数）。";
    case HallBBPart::Colour: return line + "色「" + r.text + "」が読めません（b: 青, r: 赤, ?: 不明）。";
    case HallBBPart::Sets: return line + "継続数「" + r.text + "」が読めません（1以上の整数、分からなければ空欄）。";
    case HallBBPart::None: break;
    }
    return "BB履歴の" + std::to_string(index + 1) + "行目が読めません。";
}

HallData HallDataOf(const Json& options) {
    HallData data;
    const auto games = TextOf(options, "games");
    const auto g = games ? ParseInt32(*games) : std::nullopt;
    if (!g || *g < 1) throw Refusal{"games", "総ゲーム数を1以上で入れてください。"};
    data.games = *g;
    std::vector<std::string> entries;
    if (options.contains("bb") && !options["bb"].is_null()) {
        const Json& bb = options["bb"];
        if (bb.is_array()) {
            for (const Json& e : bb) entries.push_back(e.is_string() ? e.get<std::string>() : e.dump());
        } else {
            const std::string list = bb.is_string() ? bb.get<std::string>() : bb.dump();
            for (std::size_t start = 0; !list.empty() && start <= list.size();) {
                const std::size_t comma = std::min(list.find(',', start), list.size());
                entries.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        }
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const HallBBReading bb = ParseHallBBEntries(entries[i]);
        if (!bb.bb) throw Refusal{"bb", BBMessage(i, entries[i], bb)};
        data.bbs.push_back(*bb.bb);
    }
    if (options.contains("count") && !options["count"].is_null()) {
        const Json& count = options["count"];
        if (!count.is_object()) throw Refusal{"count", "小役の数が読めません。"};
        for (const auto& [name, value] : count.items()) {
            const auto kinds = CountedWinKinds(name);
            const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
            const auto k = ParseInt32(text);
            if (!kinds) throw Refusal{"count", "小役の名前が読めません: " + name};
            if (!k || *k < 0) throw Refusal{"count", "小役の数が読めません: " + text};
            data.counted.push_back({*kinds, *k});
        }
    }
    return data;
}

std::string HallProblemMessage(HallProblem p, std::size_t index) {
    switch (p) {
    case HallProblem::None: break;
    case HallProblem::NoGames: return "総ゲーム数を1以上で入れてください。";
    case HallProblem::BadBB: return std::to_string(index + 1) + "番目のBBの値が正しくありません。";
    case HallProblem::BBsPastGames: return "BB履歴のゲーム数の合計が、総ゲーム数を超えています。";
    case HallProblem::CountsOverlap: return "数えた小役が重なっているか、負の数です。";
    case HallProblem::CountsPastGames: return "数えた小役が、BB以外のゲーム数より多くなっています。";
    case HallProblem::NoSetting:
        return "このBB履歴は、どの設定でも起こり得ません（BBなしで1532ゲーム以上続く区間があります）。";
    }
    return {};
}

const char* HallProblemField(HallProblem p) {
    switch (p) {
    case HallProblem::CountsOverlap:
    case HallProblem::CountsPastGames: return "count";
    case HallProblem::NoGames: return "games";
    default: return "bb";
    }
}

struct EstimateAsked {
    std::optional<std::int32_t> horizon;
    bool now = false;
    std::optional<MoreGamesRequest> more;
    std::uint32_t seed = 1;
    std::int32_t trust = 0;  // sessions of trust; 0 leaves it out
    std::optional<YenShown> yen;
    NowMoney money;
    // The page's own: the figures' yen left out (it has them from a request
    // of its own), so that keep or quit at the money does not find the
    // machine now's purchases a second time.
    bool figuresYen = true;
    // The page's own too: keep or quit's purchases of these settings alone,
    // found on a second worker beside the first; and those found so, given
    // back for keep or quit to take as they are.
    std::vector<int> purchasesOf;
    Json purchasesGiven;
};

EstimateAsked AskedOf(const Json& options) {
    EstimateAsked a;
    a.horizon = WholeOption(options, "horizon", 1, "この先打つゲーム数は、1以上の整数にしてください。");
    a.now = Truthy(options, "now");
    a.seed = SeedOption(options);
    if (a.now) {
        if (!a.horizon) a.horizon = kNowHorizon;
        if (*a.horizon > kMostNowHorizon)
            throw Refusal{"horizon",
                          "この先打つゲーム数は、" + std::to_string(kMostNowHorizon) + "以下にしてください。"};
    }
    const char* moreMessage = "見るゲーム数は1以上の整数、確率は0より大きく100以下の%で入れてください。";
    if (const auto k = WholeOption(options, "more", 1, moreMessage)) {
        MoreGamesRequest r;
        r.games = *k;
        if (const auto t = DecimalOption(options, "threshold")) {
            if (*t <= 0 || *t > 1) throw Refusal{"threshold", moreMessage};
            r.highThreshold = r.topThreshold = *t;
        }
        r.sessions = WholeOption(options, "sessions", 1, "模擬する回数は、1以上の整数にしてください。").value_or(2000);
        r.seed = a.seed;
        r.threads = 1;
        a.more = r;
    }
    a.trust = WholeOption(options, "trust", 1, "模擬する回数は、1以上の整数にしてください。").value_or(0);
    // The yen beside the medals as estimate prints them: at the exchange
    // alone, or with the purchases of a player short of medals.
    const MoneyAsked money = MoneyOf(options);
    a.money = {money.money, money.gamesPerHour};
    if (money.any) {
        if (!PurchasesFollowed(money.money))
            throw Refusal{"lend", "メダルを借りるときの貸し出しは、1000円で借りられる枚数を整数で入れてください。"};
        if (money.money.held && a.horizon && *a.horizon > kMostPurchaseGames)
            throw Refusal{"horizon", "借りる回数を数えるのは、この先" + std::to_string(kMostPurchaseGames) +
                                         "Gまでです。この先打つゲーム数を" + std::to_string(kMostPurchaseGames) +
                                         "以下にするか、持ちメダルを all にしてください。"};
        a.yen = money.onlyExchange ? YenShown::AtExchange : YenShown::WithPurchases;
    }
    a.figuresYen = !(a.now && options.contains("figures_yen") && options["figures_yen"].is_boolean() &&
                     !options["figures_yen"].get<bool>());
    if (options.contains("purchases_of") || options.contains("purchases_given")) {
        if (!a.now || !a.money.money.held) throw Refusal{"options", "オプションが読めません。"};
        if (options.contains("purchases_of"))
            for (const Json& s : options.at("purchases_of")) {
                const int setting = s.get<int>();
                if (setting < kMinSetting || setting > kMaxSetting)
                    throw Refusal{"options", "オプションが読めません。"};
                a.purchasesOf.push_back(setting);
            }
        if (options.contains("purchases_given")) a.purchasesGiven = options.at("purchases_given");
    }
    return a;
}

// Keep or quit as the page and the command line ask for it.
KeepOrQuitRequest KeepRequest(const EstimateAsked& a) { return {*a.horizon, kNowMostBBs, 0, a.seed, 1, a.money.money}; }

// Keep or quit's purchases of some settings, as the keep or quit of the same
// options finds them.
Json PurchasesOf(const MachineBelief& belief, const EstimateAsked& a) {
    Json out = Json::array();
    for (int s : a.purchasesOf) {
        if (belief.posterior[static_cast<std::size_t>(s - 1)] <= 0) continue;
        const PurchasesAhead p = KeepOrQuitPurchases(belief, s, KeepRequest(a));
        out.push_back({{"setting", s}, {"by_games", p.byGames}, {"by_bbs", p.byBBs}, {"dropped", p.dropped}});
    }
    return out;
}

void GivePurchases(const MachineBelief& belief, const EstimateAsked& a) {
    for (const Json& g : a.purchasesGiven) {
        const int s = g.at("setting").get<int>();
        if (s < kMinSetting || s > kMaxSetting) throw Refusal{"options", "オプションが読めません。"};
        PurchasesAhead p;
        p.byGames = g.at("by_games").get<std::vector<double>>();
        p.byBBs = g.at("by_bbs").get<std::vector<double>>();
        p.dropped = g.at("dropped").get<double>();
        if (p.byGames.size() != static_cast<std::size_t>(*a.horizon) + 1 ||
            p.byBBs.size() != static_cast<std::size_t>(kNowMostBBs) + 1)
            throw Refusal{"options", "オプションが読めません。"};
        GiveKeepOrQuitPurchases(belief, s, KeepRequest(a), std::move(p));
    }
}

// The figures and lines of estimate --horizon, --now and --more, as the
// command line puts them together; trust is the page's own addition.
std::string WithBelief(const SettingPosterior& posterior, const MachineBelief& belief, const EstimateAsked& a,
                       std::int32_t recordGames, const std::optional<HallTrustShape>& hall) {
    if (!a.purchasesOf.empty()) return Json{{"purchases", PurchasesOf(belief, a)}}.dump();
    GivePurchases(belief, a);
    MoreGames m;
    if (a.more) ValueOfMoreGames(belief, *a.more, m);
    std::optional<MachineNow> figures;
    if (a.horizon) figures = NowFigures(belief, *a.horizon, a.figuresYen ? a.money : NowMoney{});
    NowDecision d;
    if (a.now) {
        d.seed = a.seed;
        d.keep = DecideKeepOrQuit(belief, KeepRequest(a));
        if (d.keep.best.kind != StopRule::Kind::Now) {
            RuleSpread s;
            SpreadOfRule(belief, d.keep.best, *a.horizon, kNowSpreadSessions, a.seed, 1, s, nullptr, nullptr,
                         a.money.money);
            d.spread = s;
        }
        d.advice =
            Advise(d.keep.best, d.spread ? &*d.spread : nullptr, PrecursorShare(belief), d.keep.money.held.has_value());
    }
    Report report = figures ? PosteriorNowReport(posterior, *figures, a.now, a.figuresYen ? a.yen : std::nullopt)
                            : PosteriorReport(posterior, true);
    if (a.now)
        for (auto& line : NowDecisionReport(*figures, d, a.yen).parts) report.parts.push_back(std::move(line));
    if (a.more)
        for (auto& line : MoreGamesReport(m).parts) report.parts.push_back(std::move(line));
    Json out = Json::parse(ReportText(report, ReportFormat::Json));
    if (a.more) {
        // The shares now, for the page's sentence; not in the command line's lines.
        out["more_games"]["high_now"] = m.highNow;
        out["more_games"]["top_now"] = m.topNow;
    }
    if (a.trust > 0 && recordGames > 0) {
        Trust t;
        const TrustRequest tr{recordGames, belief.prior, a.trust, a.seed, 1};
        if (hall)
            TrustOfHallEstimate(tr, *hall, t);
        else
            TrustOfEstimate(tr, t);
        Json bins = Json::array();
        for (const CalibrationBin& b : t.bins)
            bins.push_back({{"from", b.from},
                            {"to", b.to},
                            {"shown", b.shown},
                            {"mean_shown", b.meanShown},
                            {"truths", b.truths}});
        out["trust"] = {{"sessions", t.sessions}, {"right", t.right}, {"games", recordGames}, {"bins", bins}};
    }
    return out.dump();
}

std::string HallEstimateJson(const Json& options) {
    const HallData data = HallDataOf(options);
    const SettingPrior prior = PriorOption(options);
    const EstimateAsked a = AskedOf(options);
    const HallEstimate e = EstimateSettingFromHallData(data, prior);
    if (e.problem != HallProblem::None)
        throw Refusal{HallProblemField(e.problem), HallProblemMessage(e.problem, e.problemIndex)};
    if (!a.horizon && !a.more && a.trust == 0)
        return ReportText(PosteriorReport(e.posterior, true), ReportFormat::Json);
    const BeliefResult b = BeliefFromHallData(data, e, prior);
    return WithBelief(e.posterior, *b.belief, a,
                      static_cast<std::int32_t>(std::min<std::int64_t>(data.games, INT32_MAX)), ShapeOf(data));
}

std::string FileEstimateJson(const Json& options, const std::string& bytes) {
    // The core reads files by path: the bytes go to the page's own memory
    // file system first.
    const std::string path = "/tmp/estimate.sim";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    PlayHistory history;
    RunFileRead r;
    try {
        r = ReadRunFile(path, history);
    } catch (const FileError&) {
        throw Refusal{"file", "ファイルを開けませんでした。"};
    }
    std::remove(path.c_str());
    switch (r.status) {
    case SimStatus::NotSimulation: throw Refusal{"file", "このファイルは、Morvaneファイルではありません。"};
    case SimStatus::ShortHeader: throw Refusal{"file", "このファイルは、途中で切れています。"};
    case SimStatus::TooLarge: throw Refusal{"file", "このファイルは大きすぎて、メモリに収まりません。"};
    case SimStatus::Ok: break;
    }
    if (r.unrecordableGame)
        throw Refusal{"file",
                      std::to_string(*r.unrecordableGame + 1) + "ゲーム目に、この機械が記録しない値があります。"};
    if (history.empty()) throw Refusal{"file", "このファイルには、推測に使うゲームがありません。"};
    const SettingPrior prior = PriorOption(options);
    const EstimateAsked a = AskedOf(options);
    if (!a.horizon && !a.more && a.trust == 0) {
        const ExactEstimate e = EstimateSettingExactly(history.records(), prior);
        if (e.problem) throw Refusal{"file", "この記録は、どの設定でも起こり得ません。"};
        return ReportText(PosteriorReport(e.posterior, true), ReportFormat::Json);
    }
    const RecordBelief rb = EstimateWithBelief(history.records(), prior);
    if (rb.estimate.problem) throw Refusal{"file", "この記録は、どの設定でも起こり得ません。"};
    Json out = Json::parse(WithBelief(rb.estimate.posterior, *rb.belief, a,
                                      static_cast<std::int32_t>(std::min<std::size_t>(history.size(), INT32_MAX)),
                                      std::nullopt));
    out["file_games"] = history.size();
    return out.dump();
}

template <class Work>
std::string Answer(const std::string& optionsText, Work work) {
    try {
        const Json options = optionsText.empty() ? Json::object() : Json::parse(optionsText);
        if (!options.is_object()) return Refused({"options", "オプションが読めません。"});
        return work(options);
    } catch (const Refusal& r) {
        return Refused(r);
    } catch (const Json::exception&) {
        return Refused({"options", "オプションが読めません。"});
    } catch (const std::bad_alloc&) {
        return Refused({"options", "メモリが足りません。"});
    } catch (const std::exception&) {
        // Anything else the core refuses, so that the page goes on.
        return Refused({"options", "この入力では計算できません。"});
    }
}

std::string Value(const std::string& options) { return Answer(options, ValueJsonOf); }

std::string Estimate(const std::string& options, const std::string& simBytes) {
    return Answer(options, [&](const Json& o) {
        if (!simBytes.empty() || Truthy(o, "file")) return FileEstimateJson(o, simBytes);
        return HallEstimateJson(o);
    });
}

// The prior shapes every front end names.
std::string Shapes() {
    Json out = Json::array();
    for (const PriorShape& s : PriorShapes())
        out.push_back({{"key", std::string(s.key)}, {"label", std::string(s.label)}, {"weights", s.weights}});
    return out.dump();
}

}  // namespace
}  // namespace morvane

EMSCRIPTEN_BINDINGS(morvane) {
    emscripten::function("value", &morvane::Value);
    emscripten::function("estimate", &morvane::Estimate);
    emscripten::function("shapes", &morvane::Shapes);
}
