#include "cli/posterior_text.h"

#include <cmath>
#include <cstdio>
#include <ostream>

#include "machine/vocabulary.h"

namespace morvane {
namespace {

std::string LogText(double v) {
    if (std::isinf(v)) return v < 0 ? "-inf" : "inf";
    char text[64];
    std::snprintf(text, sizeof text, "%.9f", v);
    return text;
}

}  // namespace

std::string Fixed6(double v) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    return text;
}

void PrintPosterior(const SettingPosterior& p, std::ostream& out) {
    for (int s = kMinSetting; s <= kMaxSetting; ++s) {
        const auto i = static_cast<std::size_t>(s - 1);
        out << s << '\t' << Fixed6(p.probability[i]) << '\t' << LogText(p.logLikelihood[i]) << '\n';
    }
}

}  // namespace morvane
