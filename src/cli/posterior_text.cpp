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

void PrintPosterior(const SettingPosterior& p, std::ostream& out) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        out << s << '\t' << Fixed6(p.probability[i]) << '\t' << LogText(p.logLikelihood[i]) << '\n';
    }
}

}  // namespace morvane
