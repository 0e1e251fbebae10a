#include "sessions/shard_file.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <stdexcept>

#include "machine/vocabulary.h"

namespace morvane {

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

std::optional<std::string> ImpossibleTally(const SessionTally& t, std::int32_t games) {
    // A game costs at most the bet and a BB game always gains (every set's
    // bonus outweighs what its games can cost), so over g games the balance
    // falls by at most 3g from any earlier balance, the start's 0 included.
    // The balance would wrap only past 2^31 medals won, which no session
    // comes near. Without a BB every game pays at most its best small win.
    const std::int64_t g = games;
    const std::int64_t most = kBet * g;
    const std::int64_t bestWin = *std::max_element(kNetPayout.begin(), kNetPayout.end());
    if (t.balance < -most) return "balance " + std::to_string(t.balance) + " is below -" + std::to_string(most);
    if (t.bbGames < 0 || t.bbGames > g)
        return "bb_games " + std::to_string(t.bbGames) + " is outside 0.." + std::to_string(g);
    if (t.bbGames == 0 ? t.bbs != 0 : t.bbs < t.bbGames)
        return "bbs " + std::to_string(t.bbs) + " cannot come from " + std::to_string(t.bbGames) + " BB games";
    if (t.bbGames == 0 && t.balance > bestWin * g)
        return "balance " + std::to_string(t.balance) + " is above " + std::to_string(bestWin * g) + " without a BB";
    // The deepest dip is also the difference of two 32-bit balances, which
    // keeps the summary's exact sums of squares within 128 bits.
    const std::int64_t deepest = std::min<std::int64_t>(most, std::int64_t{UINT32_MAX});
    if (t.deepestDip < 0 || t.deepestDip > deepest)
        return "deepest_dip " + std::to_string(t.deepestDip) + " is outside 0.." + std::to_string(deepest);
    if (t.deepestDip < -std::int64_t{t.balance})
        return "deepest_dip " + std::to_string(t.deepestDip) + " is less than the fall to balance " +
               std::to_string(t.balance);
    return std::nullopt;
}

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
    const SessionTally t{Number<std::int32_t>(f[1], "balance"), Number<std::int32_t>(f[2], "BB games"),
                         Number<std::int32_t>(f[3], "BBs"), Number<std::int64_t>(f[4], "dip")};
    if (const auto impossible = ImpossibleTally(t, r.games))
        Bad("line " + std::to_string(line_ + 1) + ": " + *impossible + " (no session of " + std::to_string(r.games) +
            " games gives it)");
    file_.tallies.push_back(t);
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

}  // namespace morvane
