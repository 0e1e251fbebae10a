#include "analysis/spread.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <tuple>

#include "machine/vocabulary.h"

namespace morvane {

std::uint32_t SessionSeed(std::uint32_t seed, std::uint32_t index) {
    std::uint64_t z = (std::uint64_t{seed} << 32 | index) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 32);
}

std::int32_t ShardSessions(const SpreadRequest& r) {
    if (r.shardIndex >= r.sessions) return 0;
    return (r.sessions - 1 - r.shardIndex) / r.shardCount + 1;
}

namespace {

// The tallies live in the callback itself, so the loop keeps them in
// registers, and BBs are counted only in BB games. The deepest dip is found
// per climb: the lowest balance since the last new peak, closed off when
// the balance passes that peak. New peaks are rare in a machine that pays
// less than it takes, so that branch is well predicted.
//
// The balance is read as the record's first word, gamesSinceBB below the
// balance: comparing whole words orders them by balance. The peak's low
// half is all ones, so a word is above it only when its balance is.
struct SessionWatch {
    static constexpr std::int64_t kLowHalf = 0xFFFFFFFF;
    std::int32_t bbGames = 0, bbs = 0;
    std::int64_t peak = kLowHalf, low = 0, dip = 0;
    template <bool kBBGame>
    void operator()(const GameRecord& r, std::bool_constant<kBBGame>) {
        if constexpr (kBBGame) {
            ++bbGames;
            bbs += r.bbSets;
        }
        static_assert(offsetof(GameRecord, gamesSinceBB) == 0 && offsetof(GameRecord, medalBalance) == 4);
        std::int64_t word;
        std::memcpy(&word, &r, sizeof word);
        if (word > peak) [[unlikely]] {
            dip = std::max(dip, (peak >> 32) - (low >> 32));
            peak = word | kLowHalf;
            low = word;
        }
        low = std::min(low, word);
    }
    std::int64_t DeepestDip() const { return std::max(dip, (peak >> 32) - (low >> 32)); }
};
}  // namespace

SessionTally SessionPlayer::Play(int setting, std::int32_t games, std::uint32_t seed) {
    // What a machine built with this seed holds before its first run.
    slot_.Rng().SeedRandom(seed);
    slot_.precursorCount = slot_.gamesSinceBB = slot_.playCount = slot_.medalBalance = 0;
    slot_.bbKind = slot_.kmode = slot_.bbSets = slot_.mode = slot_.koyaku = 0;
    slot_.SetFlevel(setting);
    slot_.Reset();
    const SessionWatch w = slot_.PlayGames(games, SessionWatch{});
    return {slot_.medalBalance, w.bbGames, w.bbs, w.DeepestDip()};
}

std::uint64_t SpreadBytes(std::int64_t sessions, bool shardFile) {
    const std::uint64_t each = sizeof(SessionTally) + (shardFile ? kShardLineBytes : sizeof(std::int64_t));
    return static_cast<std::uint64_t>(std::max<std::int64_t>(sessions, 0)) * each;
}

int DefaultThreads() {
    // The CPUs this process may run on: a batch system's task given one CPU
    // of a big node plays on one thread, not on a thread per core of it.
    cpu_set_t allowed;
    if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0) return std::max(1, CPU_COUNT(&allowed));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool PlaySpread(const SpreadRequest& request, int threads, std::span<SessionTally> out,
                std::atomic<std::int64_t>* done, const std::atomic<bool>* stop) {
    if (!ValidSetting(request.setting)) throw std::out_of_range("setting must be 1 to 6");
    const std::int32_t count = ShardSessions(request);
    if (out.size() != static_cast<std::size_t>(count)) throw std::invalid_argument("wrong number of tallies");
    if (threads < 1) threads = DefaultThreads();
    threads = std::min({threads, std::max<std::int32_t>(count, 1), kMostSpreadThreads});
    // Grabs of about 100,000 games keep the shared counter out of the way.
    const std::int32_t chunk = std::clamp<std::int32_t>(100'000 / request.games, 1, 256);
    std::atomic<std::int32_t> next{0};
    std::atomic<bool> stopped{false};
    auto work = [&] {
        SessionPlayer player;
        for (;;) {
            if (stop && stop->load(std::memory_order_relaxed)) {
                stopped = true;
                return;
            }
            const std::int32_t first = next.fetch_add(chunk, std::memory_order_relaxed);
            if (first >= count) return;
            const std::int32_t last = std::min(count, first + chunk);
            for (std::int32_t k = first; k < last; ++k) {
                const auto index = static_cast<std::uint32_t>(ShardSessionIndex(request, k));
                out[static_cast<std::size_t>(k)] =
                    player.Play(request.setting, request.games, SessionSeed(request.seed, index));
            }
            if (done) done->fetch_add(last - first, std::memory_order_relaxed);
        }
    };
    // This thread works too. Threads the system will not start leave their
    // share to the others: sessions are handed out as each thread asks.
    {
        std::vector<std::jthread> pool;
        pool.reserve(static_cast<std::size_t>(threads - 1));
        try {
            for (int t = 1; t < threads; ++t) pool.emplace_back(work);
        } catch (const std::system_error&) {
        }
        work();
    }
    return !stopped;
}

namespace {

__extension__ typedef __int128 Wide;

template <class Get>
QuantitySpread Spread(std::span<const SessionTally> tallies, Get get, std::vector<std::int64_t>& scratch) {
    QuantitySpread q;
    const auto n = static_cast<std::int64_t>(tallies.size());
    scratch.clear();
    Wide sum = 0, squares = 0;
    for (const SessionTally& t : tallies) {
        const std::int64_t v = get(t);
        scratch.push_back(v);
        sum += v;
        squares += Wide{v} * v;
    }
    std::sort(scratch.begin(), scratch.end());
    q.min = scratch.front();
    q.max = scratch.back();
    for (std::size_t i = 0; i < kSpreadPercentiles.size(); ++i) {
        // Nearest rank: the smallest value with at least p% of the sessions at or below it.
        const std::int64_t rank = (kSpreadPercentiles[i] * n + 99) / 100;
        q.percentile[i] = scratch[static_cast<std::size_t>(std::max<std::int64_t>(rank, 1) - 1)];
    }
    q.mean = static_cast<double>(sum) / static_cast<double>(n);
    if (n > 1) {
        const Wide spread = Wide{n} * squares - sum * sum;  // exact: n^2 times the population variance
        q.sd = std::sqrt(static_cast<double>(spread) / (static_cast<double>(n) * static_cast<double>(n - 1)));
        q.se = q.sd / std::sqrt(static_cast<double>(n));
    }
    return q;
}

}  // namespace

SpreadSummary Summarise(const SpreadRequest& request, std::span<const SessionTally> tallies) {
    if (tallies.empty() || tallies.size() != static_cast<std::size_t>(request.sessions))
        throw std::invalid_argument("a summary needs every session's tallies");
    SpreadSummary s;
    s.request = request;
    s.request.shardIndex = 0;
    s.request.shardCount = 1;
    std::vector<std::int64_t> scratch;
    scratch.reserve(tallies.size());
    s.balance = Spread(tallies, [](const SessionTally& t) { return std::int64_t{t.balance}; }, scratch);
    s.bbGames = Spread(tallies, [](const SessionTally& t) { return std::int64_t{t.bbGames}; }, scratch);
    s.bbs = Spread(tallies, [](const SessionTally& t) { return std::int64_t{t.bbs}; }, scratch);
    s.deepestDip = Spread(tallies, [](const SessionTally& t) { return t.deepestDip; }, scratch);
    for (std::size_t i = 0; i < tallies.size(); ++i) {
        const std::int32_t b = tallies[i].balance;
        if (b > 0) ++s.ahead;
        if (b < tallies[static_cast<std::size_t>(s.worst)].balance) s.worst = static_cast<std::int32_t>(i);
        if (b > tallies[static_cast<std::size_t>(s.best)].balance) s.best = static_cast<std::int32_t>(i);
    }
    return s;
}

BalanceHistogram HistogramOfBalance(std::span<const SessionTally> tallies, int bins) {
    BalanceHistogram h;
    if (tallies.empty() || bins < 1) return h;
    const auto [lo, hi] = std::minmax_element(tallies.begin(), tallies.end(),
                                              [](const SessionTally& a, const SessionTally& b) { return a.balance < b.balance; });
    // The narrowest round width (1, 2 or 5 times a power of ten) that spans
    // the balances in `bins` bins, with edges on its multiples, so the bars
    // meet the axis at round balances.
    const std::int64_t range = std::int64_t{hi->balance} - lo->balance + 1;
    const std::int64_t least = (range + bins - 1) / bins;
    h.width = 0;
    for (std::int64_t decade = 1; h.width == 0; decade *= 10)
        for (std::int64_t m : {1, 2, 5})
            if (h.width == 0 && m * decade >= least) h.width = m * decade;
    // Floor division: the lowest balance may be negative.
    h.low = lo->balance / h.width * h.width;
    if (h.low > lo->balance) h.low -= h.width;
    h.counts.assign(static_cast<std::size_t>((hi->balance - h.low) / h.width + 1), 0);
    for (const SessionTally& t : tallies) ++h.counts[static_cast<std::size_t>((t.balance - h.low) / h.width)];
    return h;
}

namespace {

// Locale-free fixed-point text.
std::string Fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string text(buf, r.ptr);
    if (text.find_first_not_of("-0.") == std::string::npos && text[0] == '-') text.erase(0, 1);  // no "-0.0000"
    return text;
}

void Row(std::ostringstream& out, const char* name, const QuantitySpread& q, double scale, double offset,
         bool integers) {
    auto value = [&](std::int64_t v) {
        return integers ? std::to_string(v * static_cast<std::int64_t>(scale)) : Fixed(static_cast<double>(v) * scale + offset, 4);
    };
    out << name << '\t' << Fixed(q.mean * scale + offset, 4) << '\t' << Fixed(q.sd * std::abs(scale), 4) << '\t'
        << Fixed(q.se * std::abs(scale), 4) << '\t' << value(q.min);
    for (std::int64_t p : q.percentile) out << '\t' << value(p);
    out << '\t' << value(q.max) << '\n';
}

}  // namespace

std::string SpreadText(const SpreadSummary& s) {
    const SpreadRequest& r = s.request;
    std::ostringstream out;
    out << "setting\t" << r.setting << "\ngames\t" << r.games << "\nsessions\t" << r.sessions << "\nseed\t" << r.seed
        << "\nquantity\tmean\tsd\tse\tmin";
    for (int p : kSpreadPercentiles) out << "\tp" << p;
    out << "\tmax\n";
    const double bet = 3.0 * r.games;
    Row(out, "balance_medals", s.balance, 1, 0, true);
    Row(out, "balance_yen", s.balance, 20, 0, true);
    Row(out, "payout_percent", s.balance, 100 / bet, 100, false);
    Row(out, "bb_games", s.bbGames, 1, 0, true);
    Row(out, "bbs", s.bbs, 1, 0, true);
    Row(out, "deepest_dip_medals", s.deepestDip, 1, 0, true);
    const double n = r.sessions;
    const double share = static_cast<double>(s.ahead) / n;
    out << "ahead\t" << s.ahead << '\t' << Fixed(share, 6) << '\t' << Fixed(std::sqrt(share * (1 - share) / n), 6)
        << '\n';
    // The two ends, with the seed that replays each alone.
    for (const auto& [name, index, balance] :
         {std::tuple{"worst", s.worst, s.balance.min}, std::tuple{"best", s.best, s.balance.max}})
        out << name << '\t' << index << '\t' << SessionSeed(r.seed, static_cast<std::uint32_t>(index)) << '\t'
            << balance << '\n';
    return out.str();
}

// ---------------------------------------------------------------------------
// Shard files.

namespace {

constexpr const char* kShardMark = "morvane-spread\t1";
constexpr const char* kShardColumns = "session\tbalance\tbb_games\tbbs\tdeepest_dip";

[[noreturn]] void Bad(const std::string& what) { throw std::runtime_error(what); }

template <class Int>
Int Number(std::string_view text, const char* what) {
    Int v{};
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || r.ec != std::errc{} || r.ptr != text.data() + text.size()) Bad(std::string("bad ") + what);
    return v;
}

std::vector<std::string_view> Split(std::string_view line) {
    std::vector<std::string_view> f;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab - start));
        if (tab == std::string_view::npos) return f;
        start = tab + 1;
    }
}

}  // namespace

std::string EncodeShard(const SpreadRequest& r, std::span<const SessionTally> shardTallies) {
    std::ostringstream head;
    head << kShardMark << "\nsetting\t" << r.setting << "\ngames\t" << r.games << "\nsessions\t" << r.sessions
         << "\nseed\t" << r.seed << "\nshard\t" << r.shardIndex << '/' << r.shardCount << '\n'
         << kShardColumns << '\n';
    // One string grown once: a shard of many sessions is large, and a
    // stream would hold it twice over.
    std::string out = head.str();
    out.reserve(out.size() + shardTallies.size() * kShardLineBytes + 32);
    auto put = [&out](auto v, char after) {
        char digits[24];
        out.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
        out += after;
    };
    for (std::size_t k = 0; k < shardTallies.size(); ++k) {
        const SessionTally& t = shardTallies[k];
        put(ShardSessionIndex(r, static_cast<std::int32_t>(k)), '\t');
        put(t.balance, '\t');
        put(t.bbGames, '\t');
        put(t.bbs, '\t');
        put(t.deepestDip, '\n');
    }
    out += "end\t" + std::to_string(shardTallies.size()) + '\n';
    return out;
}

void ShardReader::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        if (ended_) Bad("the file goes on after its end mark");
        const std::size_t nl = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, nl);
        if (partial_.size() + piece.size() > kShardLineBytes) {
            if (line_ == 0) Bad("not a spread shard file");
            Bad("line " + std::to_string(line_ + 1) + " is too long");
        }
        partial_.append(piece);
        if (nl == std::string_view::npos) return;
        bytes.remove_prefix(nl + 1);
        Line(partial_);
        partial_.clear();
        ++line_;
    }
}

void ShardReader::Line(std::string_view line) {
    auto field = [&](const char* key) {
        const auto f = Split(line);
        if (f.size() != 2 || f[0] != key) Bad("line " + std::to_string(line_ + 1) + " should give " + key);
        return f[1];
    };
    SpreadRequest& r = file_.request;
    switch (line_) {
    case 0:
        if (line != kShardMark) Bad("not a spread shard file");
        return;
    case 1: r.setting = Number<int>(field("setting"), "setting"); return;
    case 2: r.games = Number<std::int32_t>(field("games"), "games"); return;
    case 3: r.sessions = Number<std::int32_t>(field("sessions"), "sessions"); return;
    case 4: r.seed = Number<std::uint32_t>(field("seed"), "seed"); return;
    case 5: {
        const std::string_view shard = field("shard");
        const std::size_t slash = shard.find('/');
        if (slash == std::string_view::npos) Bad("bad shard");
        r.shardIndex = Number<std::int32_t>(shard.substr(0, slash), "shard");
        r.shardCount = Number<std::int32_t>(shard.substr(slash + 1), "shard");
        if (!ValidSetting(r.setting) || r.games < 1 || r.sessions < 1 || r.shardCount < 1 || r.shardIndex < 0 ||
            r.shardIndex >= r.shardCount)
            Bad("a header value is out of range");
        count_ = ShardSessions(r);
        if (onHeader_) onHeader_(r);
        return;
    }
    case 6:
        if (line != kShardColumns) Bad("line 7 should name the columns");
        return;
    default: break;
    }
    const auto k = static_cast<std::int32_t>(line_ - 7);
    if (k == count_) {
        if (line != "end\t" + std::to_string(count_)) Bad("the file's last line is not its end mark");
        ended_ = true;
        return;
    }
    const auto f = Split(line);
    if (f.size() != 5 || Number<std::int32_t>(f[0], "session") != ShardSessionIndex(r, k))
        Bad("line " + std::to_string(line_ + 1) + " is not session " + std::to_string(ShardSessionIndex(r, k)));
    file_.tallies.push_back({Number<std::int32_t>(f[1], "balance"), Number<std::int32_t>(f[2], "BB games"),
                             Number<std::int32_t>(f[3], "BBs"), Number<std::int64_t>(f[4], "dip")});
}

ShardFile ShardReader::Finish() {
    if (!partial_.empty()) Bad("the file ends inside a line");
    if (line_ == 0) Bad("not a spread shard file");
    if (line_ < 7) Bad("the file ends inside its header");
    if (!ended_) Bad("the file does not hold the shard's sessions");
    return std::move(file_);
}

ShardFile DecodeShard(std::string_view text) {
    ShardReader reader;
    reader.Feed(text);
    return reader.Finish();
}

std::vector<SessionTally> MergeShards(const std::vector<ShardFile>& shards, SpreadRequest& whole) {
    if (shards.empty()) Bad("no shards to merge");
    const SpreadRequest& first = shards.front().request;
    // By the shards' indices, not a table of all K: K comes from the files.
    std::vector<std::int32_t> indices;
    indices.reserve(shards.size());
    for (const ShardFile& s : shards) {
        const SpreadRequest& r = s.request;
        if (r.setting != first.setting || r.games != first.games || r.sessions != first.sessions ||
            r.seed != first.seed || r.shardCount != first.shardCount)
            Bad("the shards come from different spreads");
        indices.push_back(r.shardIndex);
    }
    std::sort(indices.begin(), indices.end());
    const std::string of = std::string(1, '/').append(std::to_string(first.shardCount));
    if (const auto twice = std::adjacent_find(indices.begin(), indices.end()); twice != indices.end())
        Bad("shard " + std::to_string(*twice) + of + " is given twice");
    for (std::size_t i = 0; i < static_cast<std::size_t>(first.shardCount); ++i)
        if (i >= indices.size() || indices[i] != static_cast<std::int32_t>(i))
            Bad("shard " + std::to_string(i) + of + " is missing");
    whole = first;
    whole.shardIndex = 0;
    whole.shardCount = 1;
    std::vector<SessionTally> all(static_cast<std::size_t>(first.sessions));
    for (const ShardFile& s : shards)
        for (std::size_t k = 0; k < s.tallies.size(); ++k)
            all[static_cast<std::size_t>(ShardSessionIndex(s.request, static_cast<std::int32_t>(k)))] = s.tallies[k];
    return all;
}

}  // namespace morvane
