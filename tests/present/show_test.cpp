#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "present/show.h"
#include "run/single_run.h"
#include "simfile/simfile.h"
#include "support/temp_folder.h"

namespace morvane {
namespace {

TEST(WritePresentation, OneGame) {
    PlayHistory h;
    h.push_back({1, -3, 0, 1, 0, 0, 2, 5});
    Presentation p;
    p.Present(h);
    std::ostringstream out;
    WritePresentation(p, true, out);
    EXPECT_EQ(out.str(),
              "BB初当り数:0\u3000BB数:0\nBB確率:1/0.00  機械割:0.00%\n継続数平均:0.00\n収支:-60円\n"
              "# PLAY情報\nPLAY数\tPLAY数2\t絵柄\tモード\tメダル数\n1\t1\tReplayB\t高確\t-3\n"
              "# BB情報\nPLAY数\tPLAY数2\t絵柄\tモード\t終了移行\t獲得メダル\n"
              "# モード移行契機\nPLAY数\tPLAY数2\t絵柄\tモード\n"
              "# 小役出現率\n絵柄\t出現回数\t出現率\t出現率(1/X)\n"
              "2枚チェリー\t0\t0\t0\n4チェリー\t0\t0\t0\nスイカA\t0\t0\t0\nスイカB\t0\t0\t0\n"
              "リプレイA\t0\t0\t0\nリプレイB\t1\t1\t1/1\nベル\t0\t0\t0\nチャンス目\t0\t0\t0\n"
              "# モード別滞在率\nモード\t滞在プレイ数\t滞在率\t滞在率(1/X)\n"
              "ハマリ\t0\t0\t0\n低確\t0\t0\t0\n高確\t1\t1\t1/1\n前兆\t0\t0\t0\n青7揃い\t0\t0\t0\n赤7揃い\t0\t0\t0\n"
              "# 継続モード抽選率\n継続モード\t抽選回数\t抽選率\t抽選率(1/X)\n"
              "継続A(75%)\t0\t0\t0\n継続B(79%)\t0\t0\t0\n継続C(84%)\t0\t0\t0\n継続D(88%)\t0\t0\t0\n");
}

}  // namespace
}  // namespace morvane
