#pragma once
// --prior W1,...,W6 as value and estimate read it.
#include <string>

#include "model/setting_prior.h"

namespace morvane {

// Throws UsageError naming the text when it is not six non-negative weights.
SettingPrior PriorValue(const std::string& text);

}  // namespace morvane
