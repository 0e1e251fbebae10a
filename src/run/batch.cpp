#include "run/batch.h"

namespace morvane {

std::string BatchFileName(const std::string& base, int setting, std::int32_t games, int run) {
    const std::string suffix = std::to_string(setting) + "_" + std::to_string(games) + "_" + std::to_string(run);
    const std::size_t slash = base.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = base.find('.', nameStart);
    std::string name = base;
    name.insert(dot == std::string::npos ? name.size() : dot, suffix);
    return name;
}

int BatchProgress(int i, int r) { return r > 0 ? static_cast<int>(static_cast<double>(i) / r * 100.0) : 0; }

}  // namespace morvane
