#pragma once
// The figures estimate and theory print.
#include <iosfwd>
#include <string>

#include "analysis/estimate.h"
#include "analysis/machine_now.h"

namespace morvane {

// Six decimals, as every probability and expectation is printed.
std::string Fixed6(double v);

// Six lines "setting<TAB>posterior<TAB>log-likelihood" (six decimals, then
// nine or -inf), each with two more fields: the expected net medals of
// the next K games and of playing until the next BB's sets are over, at that
// setting (both empty where the setting cannot play the record); then
// "mixed<TAB>next<TAB>until", both mixed by the posterior. Six decimals.
void PrintPosteriorNow(const SettingPosterior& p, const MachineNow& now, std::ostream& out);

}  // namespace morvane
