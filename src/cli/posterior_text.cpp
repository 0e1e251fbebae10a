#include "cli/posterior_text.h"

#include <cmath>
#include <ostream>

#include "machine/vocabulary.h"
#include "system/decimal_text.h"

namespace morvane {
namespace {

std::string LogText(double v) {
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    return FixedDecimal(v, 9);
}

}  // namespace

std::string Fixed6(double v) { return FixedDecimal(v, 6); }

void PrintPosteriorNow(const SettingPosterior& p, const MachineNow& now, std::ostream& out) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        const SettingNow& n = now.bySetting[i];
        out << s << '\t' << Fixed6(p.probability[i]) << '\t' << LogText(p.logLikelihood[i]) << '\t'
            << (n.possible ? Fixed6(n.nextGames) : "") << '\t' << (n.possible ? Fixed6(n.untilBB) : "") << '\n';
    }
    out << "mixed\t" << Fixed6(now.nextGames) << '\t' << Fixed6(now.untilBB) << '\n';
}

}  // namespace morvane
