// Feeds arbitrary bytes to the incremental reader, cut into chunks whose
// sizes follow from the first byte, and checks what any reader must hold.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "run/history.h"
#include "simfile/simfile.h"
#include "system/memory_room.h"

namespace {

using morvane::PlayHistory;
using morvane::SimStatus;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

std::int32_t FirstValue(const std::uint8_t* data) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    return static_cast<std::int32_t>(u);
}

// A history the reader must leave alone unless it sees the mark.
PlayHistory Sentinel() {
    PlayHistory h;
    h.push_back({1, -2, 3, -4, 5, -6, 7, -8});
    h.push_back({9, 10, 11, 12, 13, 14, 15, 16});
    return h;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto* bytes = reinterpret_cast<const char*>(data);
    const bool isSim = size >= 4 && FirstValue(data) == morvane::kSimMark;

    PlayHistory history = Sentinel();
    const PlayHistory sentinel = history;
    morvane::SimDecoder decoder(history);

    // Chunk sizes cycle through a small sequence picked by the first byte;
    // zero-sized chunks are part of it.
    const unsigned pick = size ? data[0] : 0;
    const std::size_t base = pick % 41;
    const std::size_t step = (pick >> 5) + 1;
    std::size_t pos = 0;
    bool refused = false;
    for (std::size_t i = 0; pos < size; ++i) {
        const std::size_t want = (base + i * step) % 41;
        const std::size_t n = want < size - pos ? want : size - pos;
        const bool accepted = decoder.Feed(std::span<const char>(bytes + pos, n));
        // Once refused, refused for good.
        Check(!(refused && accepted));
        refused = refused || !accepted;
        pos += n;
        // The record array never claims more than it holds.
        Check(history.size() <= history.capacity());
    }
    const morvane::SimReadResult r = decoder.Finish();
    Check(history.size() <= history.capacity());
    Check(refused == (size >= 4 && !isSim));

    if (!isSim) {
        Check(r.status == SimStatus::NotSimulation);
        Check(history == sentinel);
        return 0;
    }
    Check(r.status != SimStatus::NotSimulation && r.status != SimStatus::TooLarge);
    if (size < morvane::kSimHeaderBytes) {
        Check(r.status == SimStatus::ShortHeader);
        Check(history.empty());
        Check(r.header.games == 0);
        if (size < 8) Check(r.header.setting == 0);
        return 0;
    }
    Check(r.status == SimStatus::Ok);
    const std::size_t records = (size - morvane::kSimHeaderBytes) / morvane::kSimRecordBytes;
    Check(history.size() == records);
    Check(r.droppedBytes == (size - morvane::kSimHeaderBytes) % morvane::kSimRecordBytes);

    // With memory for only a few records, a longer input read as a stream
    // (no size known) is refused and leaves nothing behind.
    {
        const std::uint64_t available = (std::uint64_t{64} << 20) + 160;
        const std::uint64_t fits = morvane::UsableHistoryBytes(available) / morvane::kSimRecordBytes;
        PlayHistory tight;
        morvane::SimDecoder limited(tight, 0, available);
        limited.Feed(std::span<const char>(bytes, size));
        const morvane::SimReadResult t = limited.Finish();
        if (records > fits) {
            Check(t.status == SimStatus::TooLarge);
            Check(tight.empty());
        } else {
            Check(t.status == SimStatus::Ok);
            Check(tight == history);
        }
    }

    // Writing back what was read reproduces every whole byte of the input.
    std::string again;
    morvane::EncodeSim(r.header, history, [&](const char* p, std::size_t n) { again.append(p, n); });
    Check(again.size() == morvane::SimFileBytes(records));
    Check(std::memcmp(again.data(), bytes, again.size()) == 0);
    return 0;
}
