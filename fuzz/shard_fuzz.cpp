// Feeds arbitrary bytes to the shard reader in chunks whose sizes follow
// from the first byte: a piece at a time it must agree with the whole-text
// reader, refuse by exception only, and hand back only what it can write
// again to the same file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "sessions/shard_file.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::optional<morvane::ShardFile> Whole(std::string_view text) {
    try {
        return morvane::DecodeShard(text);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

std::optional<morvane::ShardFile> InPieces(std::string_view text, unsigned pick) {
    try {
        morvane::ShardReader reader;
        const std::size_t base = pick % 23, step = (pick >> 5) + 1;
        std::size_t pos = 0;
        for (std::size_t i = 0; pos < text.size(); ++i) {
            const std::size_t n = std::min((base + i * step) % 23, text.size() - pos);
            reader.Feed(text.substr(pos, n));
            pos += n;
        }
        return reader.Finish();
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<morvane::ShardFile> whole = Whole(text);
    const std::optional<morvane::ShardFile> pieces = InPieces(text, size ? data[0] : 0);
    Check(whole.has_value() == pieces.has_value());
    if (!whole) return 0;
    Check(whole->request == pieces->request && whole->tallies == pieces->tallies);
    Check(whole->tallies.size() == static_cast<std::size_t>(morvane::ShardSessions(whole->request)));
    for (const morvane::SessionTally& t : whole->tallies) Check(!morvane::ImpossibleTally(t, whole->request.games));
    const std::optional<morvane::ShardFile> again = Whole(morvane::EncodeShard(whole->request, whole->tallies));
    Check(again && again->request == whole->request && again->tallies == whole->tallies);
    return 0;
}
