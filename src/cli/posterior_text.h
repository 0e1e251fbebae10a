#pragma once
// The figures estimate and theory print.
#include <iosfwd>
#include <string>

#include "analysis/estimate.h"

namespace morvane {

// Six decimals, as every probability and expectation is printed.
std::string Fixed6(double v);

// Six lines "setting<TAB>posterior<TAB>log-likelihood": six decimals, then
// nine (or -inf).
void PrintPosterior(const SettingPosterior& p, std::ostream& out);

}  // namespace morvane
