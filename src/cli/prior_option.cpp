#include "cli/prior_option.h"

#include "cli/command.h"
#include "cli/quoted.h"

namespace morvane {

SettingPrior PriorValue(const std::string& text) {
    const auto prior = ParseSettingPrior(text);
    if (!prior) throw UsageError{"prior " + Quoted(text) + " must be six non-negative weights W1,...,W6, not all 0"};
    return *prior;
}

}  // namespace morvane
