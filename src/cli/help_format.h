#pragma once
// How morvane-sim lays out its help: the usage lines first, then what the
// command does, its arguments and options, each option with its default.
#include <CLI/Formatter.hpp>

#include <string>

namespace morvane {

class HelpFormatter : public CLI::Formatter {
public:
    // `usage`: lines "morvane-sim ...", each ending in a newline.
    explicit HelpFormatter(std::string usage);

    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_option_desc(const CLI::Option* option) const override;
    std::string make_subcommand(const CLI::App* sub) const override;

private:
    std::string usage_;
};

}  // namespace morvane
