#pragma once
// The six result pages: captions and columns of their lists.
#include <array>
#include <span>
#include <string_view>

namespace morvane {

enum class Page { Play, BB, ModeChange, Koyaku, ModeStay, KeizokuSelect };
inline constexpr int kPageCount = 6;
inline constexpr std::array<Page, kPageCount> kAllPages = {Page::Play,   Page::BB,       Page::ModeChange,
                                                           Page::Koyaku, Page::ModeStay, Page::KeizokuSelect};

struct ColumnSpec {
    std::string_view caption;
    int width;
};

struct PageSpec {
    std::string_view sheet;    // TabSheet1 ..
    std::string_view caption;  // "PLAY情報" ..
    std::string_view list;     // ResultListView ..
    std::span<const ColumnSpec> columns;
};

const PageSpec& PageInfo(Page page);

}  // namespace morvane
