// Feeds arbitrary text to the readers of a hall's BB, as the command line's
// --bb and as the window's three cells: each reading either gives a BB
// whose figures are possible or names the one entry that is wrong, and the
// two readers of one text agree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/hall_input.h"

namespace {

using morvane::HallBBPart;
using morvane::HallBBReading;

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void CheckReading(const HallBBReading& r) {
    Check(r.bb.has_value() == (r.wrong == HallBBPart::None));
    if (!r.bb) return;
    Check(r.bb->games >= 1);
    Check(r.bb->kind >= 0 && r.bb->kind <= 2);
    Check(r.bb->sets >= 0);
}

// "312b5" again from a BB the reader gave.
std::string Written(const morvane::HallBB& bb) {
    std::string s = std::to_string(bb.games);
    if (bb.kind != 0 || bb.sets != 0) s += bb.kind == 1 ? "b" : bb.kind == 2 ? "r" : "?";
    if (bb.sets != 0) s += std::to_string(bb.sets);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const HallBBReading line = morvane::ParseHallBBEntries(text);
    CheckReading(line);
    Check(morvane::ParseHallBB(text) == line.bb);
    if (line.bb) Check(morvane::ParseHallBB(Written(*line.bb)) == line.bb);

    // The window's cells: the text cut in three at two bytes it names.
    const std::size_t a = size ? data[0] % (size + 1) : 0;
    const std::size_t b = size > 1 ? a + data[1] % (size - a + 1) : a;
    const std::string_view games = text.substr(0, a), colour = text.substr(a, b - a), sets = text.substr(b);
    const HallBBReading cells = morvane::ReadHallBBEntries(games, colour, sets);
    CheckReading(cells);
    Check(morvane::ReadHallBB(games, colour, sets) == cells.bb);
    return 0;
}
