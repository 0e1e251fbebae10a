#include "cli/prior_option.h"

#include "cli/command.h"
#include "system/printable.h"

namespace morvane {

SettingPrior PriorValue(const std::string& text) {
    const auto prior = ParseSettingPrior(text);
    if (!prior) {
        // Appended piece by piece: g++ 12 at -O3 misreads Quoted's inlined
        // concatenation here (-Wrestrict).
        std::string message = "prior '";
        message += Printable(text);
        message += "' must be six non-negative weights W1,...,W6, not all 0";
        throw UsageError{message};
    }
    return *prior;
}

}  // namespace morvane
