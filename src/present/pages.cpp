#include "present/pages.h"

namespace morvane {
namespace {

constexpr ColumnSpec kPlayColumns[] = {{"PLAY数", 70}, {"PLAY数2", 70}, {"絵柄", 70}, {"モード", 70}, {"メダル数", 70}};
constexpr ColumnSpec kBBColumns[] = {{"PLAY数", 70}, {"PLAY数2", 70},  {"絵柄", 80},
                                     {"モード", 70}, {"終了移行", 60}, {"獲得メダル", 70}};
constexpr ColumnSpec kModeChangeColumns[] = {{"PLAY数", 70}, {"PLAY数2", 70}, {"絵柄", 80}, {"モード", 70}};
constexpr ColumnSpec kKoyakuColumns[] = {{"絵柄", 70}, {"出現回数", 70}, {"出現率", 70}, {"出現率(1/X)", 80}};
constexpr ColumnSpec kModeStayColumns[] = {{"モード", 70}, {"滞在プレイ数", 70}, {"滞在率", 70}, {"滞在率(1/X)", 80}};
constexpr ColumnSpec kKeizokuColumns[] = {{"継続モード", 80}, {"抽選回数", 70}, {"抽選率", 70}, {"抽選率(1/X)", 80}};

const PageSpec kPages[kPageCount] = {
    {"TabSheet1", "PLAY情報", "ResultListView", kPlayColumns},
    {"TabSheet2", "BB情報", "BBListView", kBBColumns},
    {"TabSheet3", "モード移行契機", "ModeChangeListView", kModeChangeColumns},
    {"TabSheet4", "小役出現率", "KoyakuListView", kKoyakuColumns},
    {"TabSheet5", "モード別滞在率", "ModeStayListView", kModeStayColumns},
    {"TabSheet6", "継続モード抽選率", "KeizokuSelectListView", kKeizokuColumns},
};

}  // namespace

const PageSpec& PageInfo(Page page) { return kPages[static_cast<int>(page)]; }

}  // namespace morvane
