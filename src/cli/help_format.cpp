#include "cli/help_format.h"

#include <sstream>

namespace morvane {
namespace {

constexpr std::size_t kNameColumn = 24;
constexpr std::size_t kLineWidth = 79;

// Breaks `text` at spaces so that each line fits beside the name column.
std::string Wrapped(const std::string& text) {
    const std::size_t room = kLineWidth - kNameColumn;
    std::string out;
    std::size_t lineStart = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        const std::size_t lineLength = out.size() - lineStart;
        if (lineLength > 0 && lineLength + 1 + word.size() > room) {
            out += '\n';
            lineStart = out.size();
        } else if (lineLength > 0) {
            out += ' ';
        }
        out += word;
    }
    return out;
}

// "usage: " before the first line, the others indented under it.
std::string UsageBlock(const std::string& lines) {
    std::string out;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) out += (out.empty() ? "usage: " : "       ") + line + "\n";
    return out;
}

}  // namespace

HelpFormatter::HelpFormatter(std::string usage) : usage_(std::move(usage)) {
    column_width(kNameColumn);
    label("Positionals", "Arguments");
}

std::string HelpFormatter::make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const {
    std::string text = UsageBlock(usage_);
    if (!app->get_description().empty()) text += "\n" + app->get_description() + ".\n";
    text += make_positionals(app);
    text += make_groups(app, mode);
    text += make_subcommands(app, mode);
    return text;
}

std::string HelpFormatter::make_option_opts(const CLI::Option* option) const {
    const std::string type = option->get_type_name();
    return type.empty() ? std::string() : " " + type;
}

std::string HelpFormatter::make_option_desc(const CLI::Option* option) const {
    std::string text = option->get_description();
    if (!option->get_default_str().empty()) text += " (default: " + option->get_default_str() + ")";
    return Wrapped(text);
}

std::string HelpFormatter::make_subcommand(const CLI::App* sub) const {
    std::ostringstream out;
    CLI::detail::format_help(out, sub->get_name(), Wrapped(sub->get_description()), kNameColumn);
    return out.str();
}

}  // namespace morvane
