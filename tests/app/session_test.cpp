// The run session: which history a run, a batch and an open fill, what stays
// on screen meanwhile, and how a batch ends.
#include "app/session.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "estimation/exact_estimate.h"
#include "run/run_records.h"
#include "run/single_run.h"
#include "support/held_records.h"
#include "support/sha256.h"
#include "support/temp_folder.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class Session : public test::TempFolderTest {
protected:
    static constexpr RunRequest kHidden8000{{true, 0}, 8000};
};

TEST_F(Session, BatchWritesEachRunAtOnce) {
    RunSession s(12345);
    s.SimulateRun({{false, 3}, 100});

    std::vector<std::string> saving, saved;
    std::vector<int> percents;
    BatchHooks hooks;
    hooks.saving = [&](int run, const std::string& path, int percent) {
        saving.push_back(path);
        percents.push_back(percent);
        EXPECT_FALSE(fs::exists(path)) << run;
    };
    hooks.saved = [&](int run, const std::string& path) {
        saved.push_back(path);
        EXPECT_EQ(fs::file_size(path), SimFileBytes(8000)) << run;
    };
    const BatchResult r = s.SimulateBatch(Path("b.sim"), 3, kHidden8000, hooks);

    EXPECT_EQ(r.end, BatchEnd::Done);
    EXPECT_EQ(r.written, 3);
    // The hidden settings of seed 12345 after a 100-game run differ from a
    // fresh machine's, so the names come from the runs themselves.
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saving, saved);
    EXPECT_EQ(percents, (std::vector<int>{33, 66, 100}));
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(saved[static_cast<std::size_t>(i)].find("_8000_" + std::to_string(i + 1) + ".sim"),
                  std::string::npos);
    // What a save writes now is the last run of the batch.
    EXPECT_EQ(s.Current().size(), 8000u);
    EXPECT_EQ(s.CurrentHeader().games, 8000);
    EXPECT_EQ(s.CurrentHeader().setting, s.Machine().GetFlevel());
    EXPECT_NE(saved.back().find(std::to_string(s.CurrentHeader().setting) + "_8000_3"), std::string::npos);
}

TEST_F(Session, BatchEndsEarlyWhenStoppedRefusedOrUnwritable) {
    struct Case {
        const char* name;
        BatchEnd end;
        int written;
    };
    for (const BatchPlay play : {BatchPlay::Kept, BatchPlay::Streamed, BatchPlay::Checkpointed})
        for (const Case& c : {Case{"stopped", BatchEnd::Stopped, 1}, Case{"refused", BatchEnd::Refused, 1},
                              Case{"unwritable", BatchEnd::WriteFailed, 0}}) {
            SCOPED_TRACE(std::string(c.name) + " " + std::to_string(static_cast<int>(play)));
            for (const auto& e : fs::directory_iterator(dir_)) fs::remove(e.path());
            RunSession s(7);
            BatchHooks hooks;
            int asked = 0;
            if (c.end == BatchEnd::Stopped) hooks.stopRequested = [&] { return ++asked > 1; };
            if (c.end == BatchEnd::Refused) hooks.nextRequest = [](int) { return std::optional<RunRequest>(); };
            const std::string base =
                c.end == BatchEnd::WriteFailed ? Path("missing/x.sim") : Path(std::string(c.name) + ".sim");
            const BatchResult r = s.SimulateBatch(base, 3, {{false, 4}, 500}, hooks, play);
            EXPECT_EQ(r.end, c.end);
            EXPECT_EQ(r.written, c.written);
            int files = 0;
            for (const auto& e : fs::directory_iterator(dir_))
                files += e.path().filename().string().rfind(c.name, 0) == 0;
            EXPECT_EQ(files, c.written);
            if (c.end == BatchEnd::WriteFailed)
                EXPECT_NE(r.error.find("missing/x4_500_1.sim"), std::string::npos) << r.error;
            else
                EXPECT_TRUE(r.error.empty());
        }
}

// A run written as it is played, or played on checkpoints, is the run
// SimulateRun keeps: the same file bytes, the same tallies, the machine left
// in the same state, over slices and blocks that do not line up with it.
TEST_F(Session, StreamedAndCheckpointedRunsAreTheRunKeptInMemory) {
    const std::int32_t games = kSliceGames + 3 * static_cast<std::int32_t>(kDefaultBlockGames) + 101;
    for (const RunRequest request :
         {RunRequest{{false, 6}, games}, RunRequest{{true, 0}, games}, kHidden8000, RunRequest{{false, 1}, 1}}) {
        SCOPED_TRACE(request.games);
        RunSession kept(99), streamed(99), checkpointed(99), window(99);
        // A run before, so each inherits a machine already played.
        for (RunSession* s : {&kept, &streamed, &checkpointed, &window}) s->SimulateRun({{false, 2}, 777});
        ASSERT_EQ(kept.SimulateRun(request), RunEnd::Done);
        kept.Save(Path("kept.sim"));
        std::vector<std::int64_t> seen;
        RunHooks hooks;
        hooks.progress = [&](std::int64_t played, std::int64_t) { seen.push_back(played); };
        ASSERT_EQ(streamed.StreamRun(request, Path("streamed.sim"), hooks), RunEnd::Done);
        ASSERT_EQ(checkpointed.PlayCheckpointed(request), RunEnd::Done);
        // The window's run: kept as checkpoints, saved by playing it again.
        ASSERT_EQ(window.PlayKept(request), RunEnd::Done);
        window.SaveKept(Path("window.sim"));

        EXPECT_EQ(test::Sha256OfFile(Path("streamed.sim")), test::Sha256OfFile(Path("kept.sim")));
        EXPECT_EQ(test::Sha256OfFile(Path("window.sim")), test::Sha256OfFile(Path("kept.sim")));
        EXPECT_TRUE(test::Held(window.Kept()) == kept.Current());
        EXPECT_EQ(window.KeptHeader(), kept.CurrentHeader());
        EXPECT_EQ(window.Machine().Save(), kept.Machine().Save());
        EXPECT_EQ(seen.back(), request.games);
        const RunTallies tallies = HistoryRecords(kept.Current()).Tallies();
        EXPECT_EQ(streamed.LastTallies(), tallies);
        EXPECT_EQ(checkpointed.LastTallies(), tallies);
        EXPECT_EQ(window.Kept().Tallies(), tallies);
        EXPECT_EQ(checkpointed.Checkpointed().size(), kept.Current().size());
        for (const RunSession* s : {&streamed, &checkpointed}) {
            EXPECT_EQ(s->Machine().Save(), kept.Machine().Save());
            // The session's own history is left as it was.
            EXPECT_EQ(s->Current().size(), 777u);
        }
    }
}

// A streamed run stopped part-way, or refused for want of room, leaves the
// file that was there whole and nothing beside it.
TEST_F(Session, AStreamedRunStoppedOrRefusedLeavesTheOldFileWhole) {
    const std::string file = Path("old.sim");
    RunSession first(5);
    first.SimulateRun({{false, 3}, 900});
    first.Save(file);
    const std::string before = test::Sha256OfFile(file);
    const RunRequest request{{false, 4}, 2 * kSliceGames + 5};

    RunSession stopped(5);
    RunHooks hooks;
    int asked = 0;
    hooks.stopRequested = [&] { return ++asked == 2; };
    EXPECT_EQ(stopped.StreamRun(request, file, hooks), RunEnd::Stopped);
    EXPECT_EQ(stopped.Machine().playCount, 2 * kSliceGames);

    struct Room {
        std::optional<std::uint64_t> freeBytes;
        bool refused;
    };
    const std::uint64_t need = SimFileBytes(static_cast<std::uint64_t>(request.games));
    for (const Room room : {Room{need - 1, true}, Room{0, true}, Room{need, false}, Room{std::nullopt, false}}) {
        SCOPED_TRACE(room.freeBytes ? std::to_string(*room.freeBytes) : "unknown");
        RunSession s(5);
        const std::string target = room.refused ? file : Path("fits.sim");
        s.SetFreeBytesProbe([&](const std::string& path) {
            EXPECT_EQ(path, target);
            return room.freeBytes;
        });
        if (!room.refused) {
            EXPECT_EQ(s.StreamRun(request, target), RunEnd::Done);
            EXPECT_EQ(fs::file_size(Path("fits.sim")), need);
            fs::remove(Path("fits.sim"));
            continue;
        }
        try {
            s.StreamRun(request, file);
            ADD_FAILURE() << "not refused";
        } catch (const FileError& e) {
            EXPECT_EQ(std::string(e.what()), *NoRoomMessage(file, need, room.freeBytes));
            EXPECT_EQ(e.Code(), ENOSPC);
        }
        EXPECT_EQ(s.Machine().playCount, 0) << "refused before any game";
    }
    EXPECT_EQ(test::Sha256OfFile(file), before);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"old.sim"});

    // A streamed batch is refused at the file that does not fit, the
    // earlier ones written.
    RunSession batch(5);
    int probed = 0;
    batch.SetFreeBytesProbe(
        [&](const std::string&) { return std::optional<std::uint64_t>(++probed < 3 ? UINT64_MAX : 100); });
    const BatchResult r = batch.SimulateBatch(Path("b.sim"), 3, {{false, 4}, 500}, {}, BatchPlay::Streamed);
    EXPECT_EQ(r.end, BatchEnd::WriteFailed);
    EXPECT_EQ(r.written, 2);
    EXPECT_EQ(r.error, *NoRoomMessage(Path("b4_500_3.sim"), SimFileBytes(500), 100));
    EXPECT_FALSE(fs::exists(Path("b4_500_3.sim")));
}

// A saved run judged as it is read, a piece at a time, is judged as when
// it is loaded whole: the same counts, and the exact estimate to the last
// bit, its refusals worded alike, under any prior.
TEST_F(Session, AFileJudgedAsItIsReadIsJudgedAsWhenLoadedWhole) {
    RunSession s(31);
    s.SimulateRun({{false, 5}, 100000});
    const PlayHistory played = s.Current();
    PlayHistory unrecordable = played;
    unrecordable.KoyakuLog()[70000] = 42;
    // Past the ceiling without a BB: no setting plays it.
    PlayHistory tail = played;
    for (std::int32_t i = 1; i <= 2000; ++i) tail.push_back({i, -3 * i, 0, 100000 + i, NoBB, 0, 0, Miss});
    const SettingPrior uniform;
    const SettingPrior low{{4, 3, 2, 1, 0, 0}};
    const SettingPrior only6{{0, 0, 0, 0, 0, 1}};
    const struct {
        const char* name;
        const PlayHistory& history;
        bool refused;
    } cases[] = {{"played", played, false}, {"unrecordable", unrecordable, true}, {"ceiling", tail, true}};
    for (const auto& c : cases) {
        SaveSimFile(Path("f.sim"), {5, static_cast<std::int32_t>(c.history.size())}, c.history);
        const RunFileEstimate read = EstimateRunFile(Path("f.sim"), true);
        ASSERT_FALSE(read.problem) << *read.problem;
        EXPECT_EQ(read.seen, ObserveHistory(c.history)) << c.name;
        EXPECT_EQ(EstimateRunFile(Path("f.sim"), false).seen, read.seen) << c.name;
        const OpenedRunFile opened = OpenRunFile(Path("f.sim"));
        EXPECT_EQ(opened.problem.has_value(), read.unrecordableGame.has_value()) << c.name;
        if (opened.records) {
            EXPECT_EQ(test::Held(*opened.records), c.history) << c.name;
        }
        for (const SettingPrior* prior : {&uniform, &low, &only6}) {
            const ExactEstimate whole = EstimateSettingExactly(c.history.records(), *prior);
            const ExactEstimate pieces = ExactEstimateOf(read, *prior);
            SCOPED_TRACE(std::string(c.name) + (whole.problem ? ": " + *whole.problem : ""));
            EXPECT_EQ(whole.problem.has_value(), c.refused);
            EXPECT_EQ(pieces.posterior.logLikelihood, whole.posterior.logLikelihood);
            EXPECT_EQ(pieces.posterior.probability, whole.posterior.probability);
            EXPECT_EQ(pieces.prior, whole.prior);
            EXPECT_EQ(pieces.problem, whole.problem);
            EXPECT_EQ(pieces.problemGame, whole.problemGame);
            EXPECT_EQ(pieces.unrecordable, whole.unrecordable);
        }
    }
    // The file's own problems, in the words of the file opened to be read
    // again, which refuses a game no machine records as well.
    for (const std::string& file :
         {WriteBytes("text.sim", "not a simulation"), WriteBytes("short.sim", "\x0A\0\0\0\1"), Path("absent.sim")})
        EXPECT_EQ(EstimateRunFile(file, true).problem, OpenRunFile(file).problem) << file;
}

TEST(NoRoom, NamesTheBytesAndTheFolder) {
    const struct {
        std::string path;
        std::uint64_t bytes;
        std::optional<std::uint64_t> freeBytes;
        std::optional<std::string> says;
    } cases[] = {
        {"/data/sim/a.sim", 3200012, 4096,
         "/data/sim/a.sim: the file needs 3200012 bytes, more than the 4096 bytes free on the disk of /data/sim"},
        {"a.sim", 44, 43, "a.sim: the file needs 44 bytes, more than the 43 bytes free on the disk of ."},
        {"/a.sim", 44, 0, "/a.sim: the file needs 44 bytes, more than the 0 bytes free on the disk of /"},
        {"new\n.sim", 44, 0, "new\\n.sim: the file needs 44 bytes, more than the 0 bytes free on the disk of ."},
        {"a.sim", 44, 44, std::nullopt},
        {"a.sim", UINT64_MAX, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(NoRoomMessage(c.path, c.bytes, c.freeBytes), c.says) << c.path;
}

TEST_F(Session, FreeDiskBytesAreThoseOfTheTargetsDiskButNotOfWhatIsWrittenInPlace) {
    const auto folder = FreeDiskBytes(Path("new.sim"));
    ASSERT_TRUE(folder.has_value());
    EXPECT_GT(*folder, 0u);
    // An existing file is replaced on its own disk; a device is written into.
    EXPECT_TRUE(FreeDiskBytes(WriteBytes("there.sim", "x")).has_value());
    EXPECT_EQ(FreeDiskBytes("/dev/null"), std::nullopt);
    // A file system of no blocks tells nothing of its room.
    EXPECT_EQ(FreeDiskBytes("/proc/self/comm"), std::nullopt);
    EXPECT_EQ(FreeDiskBytes(Path("missing/new.sim")), std::nullopt);
}

TEST_F(Session, NextRequestChangesTheRunsAfterTheFirst) {
    RunSession s(3);
    BatchHooks hooks;
    std::vector<int> asked;
    hooks.nextRequest = [&](int run) {
        asked.push_back(run);
        return std::optional<RunRequest>(RunRequest{{false, run}, 100 * run});
    };
    std::vector<std::string> saved;
    hooks.saved = [&](int, const std::string& path) { saved.push_back(fs::path(path).filename().string()); };
    EXPECT_EQ(s.SimulateBatch(Path("n.sim"), 3, {{false, 6}, 50}, hooks).end, BatchEnd::Done);
    EXPECT_EQ(asked, (std::vector<int>{2, 3}));
    EXPECT_EQ(saved, (std::vector<std::string>{"n6_50_1.sim", "n2_200_2.sim", "n3_300_3.sim"}));
}

TEST_F(Session, ALongRunReportsItsSlicesAndStopsWhenAsked) {
    const std::int32_t games = 3 * kSliceGames + 12345;
    RunSession plain(21), watched(21), stopped(21);
    plain.SimulateRun({{false, 5}, games});

    std::vector<std::int64_t> seen;
    RunHooks hooks;
    hooks.progress = [&](std::int64_t played, std::int64_t total) {
        EXPECT_EQ(total, games);
        seen.push_back(played);
    };
    EXPECT_EQ(watched.SimulateRun({{false, 5}, games}, hooks), RunEnd::Done);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{kSliceGames, 2 * std::int64_t{kSliceGames},
                                               3 * std::int64_t{kSliceGames}, games}));
    // Played in slices, the games are the same as in one piece.
    EXPECT_TRUE(watched.Current() == plain.Current());
    EXPECT_EQ(watched.Machine().Rng().State(), plain.Machine().Rng().State());

    int asked = 0;
    hooks = {};
    hooks.stopRequested = [&] { return ++asked == 2; };
    EXPECT_EQ(stopped.SimulateRun({{false, 5}, games}, hooks), RunEnd::Stopped);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(stopped.Current().empty()) << "a stopped run leaves no half history";
    EXPECT_EQ(stopped.Machine().playCount, 2 * kSliceGames);

    // A batch stopped inside its second run keeps the first file only.
    RunSession batch(21);
    BatchHooks b;
    int slices = 0;
    b.run.stopRequested = [&] { return ++slices == 3; };
    const BatchResult r = batch.SimulateBatch(Path("s.sim"), 3, {{false, 5}, kSliceGames + 1}, b);
    EXPECT_EQ(r.end, BatchEnd::Stopped);
    EXPECT_EQ(r.written, 1);
    EXPECT_TRUE(fs::exists(Path("s5_1048577_1.sim")));
    EXPECT_FALSE(fs::exists(Path("s5_1048577_2.sim")));
}

TEST_F(Session, ARunReusesTheStorageOfTheRunBefore) {
    RunSession s(4);
    s.SimulateRun({{false, 1}, 3000});
    const GameRecord* storage = s.Current().records().data();
    s.SimulateRun({{false, 2}, 2000});
    EXPECT_EQ(s.Current().records().data(), storage);
    EXPECT_EQ(s.Current().size(), 2000u);
    EXPECT_EQ(s.CurrentHeader(), (SimHeader{2, 2000}));
}

TEST_F(Session, OpenTakesOnlyAWholeSimulationFile) {
    RunSession s(5);
    s.PlayKept({{false, 6}, 700});
    const std::string saved = Path("saved.sim");
    s.SaveKept(saved);
    const PlayHistory first = test::Held(s.Kept());
    s.PlayKept({{false, 2}, 300});
    s.ShowKept();
    const PlayHistory second = test::Held(s.Kept());

    EXPECT_EQ(s.Open(WriteBytes("text.sim", "not a simulation")).status, SimStatus::NotSimulation);
    EXPECT_THROW(s.Open(Path("absent.sim")), FileError);
    // A game no machine writes, the 700th and last: refused, named.
    PlayHistory bad = first;
    bad.BBLog()[699] = 3;
    SaveSimFile(Path("bad.sim"), {6, 700}, bad);
    const RunFileRead refused = s.Open(Path("bad.sim"));
    EXPECT_EQ(refused.status, SimStatus::Ok);
    EXPECT_EQ(refused.unrecordableGame, std::optional<std::size_t>{699});
    EXPECT_TRUE(test::Held(s.Kept()) == second);
    EXPECT_EQ(s.KeptHeader(), (SimHeader{2, 300}));

    const RunFileRead r = s.Open(saved);
    EXPECT_EQ(r.status, SimStatus::Ok);
    EXPECT_FALSE(r.unrecordableGame);
    EXPECT_TRUE(test::Held(s.Kept()) == first);
    EXPECT_EQ(s.KeptHeader(), (SimHeader{6, 700}));
    EXPECT_EQ(s.Kept().Tallies(), HistoryRecords(first).Tallies());
    EXPECT_TRUE(test::Held(*s.KeptShown()) == second) << "the run on screen stays until the file is presented";
    EXPECT_EQ(s.Machine().GetFlevel(), 2) << "opening a file leaves the machine alone";
    // Saved again, the opened file is the file it was.
    s.SaveKept(Path("again.sim"));
    EXPECT_EQ(test::Sha256OfFile(Path("again.sim")), test::Sha256OfFile(saved));
}

// The window's runs: the run on screen stays, record for record, while
// another plays beside it, and stays the run a save writes when that one
// is stopped; with nothing on screen a stopped run leaves an empty run,
// as a stopped history run does.
TEST_F(Session, AKeptRunOnScreenStaysWhileAnotherPlaysOrStops) {
    RunSession s(8), history(8);
    ASSERT_EQ(s.PlayKept({{false, 3}, 3 * static_cast<std::int32_t>(kDefaultBlockGames) + 7}), RunEnd::Done);
    s.ShowKept();
    const PlayHistory shown = test::Held(s.Kept());
    const SimHeader header = s.KeptHeader();
    int checked = 0;
    RunHooks hooks;
    hooks.progress = [&](std::int64_t, std::int64_t) {
        if (checked++ == 0) {
            EXPECT_TRUE(test::Held(*s.KeptShown()) == shown) << "read while the next run plays";
        }
    };
    hooks.stopRequested = [&] { return checked == 2; };
    EXPECT_EQ(s.PlayKept({{false, 6}, 3 * kSliceGames}, hooks), RunEnd::Stopped);
    EXPECT_EQ(checked, 2);
    EXPECT_EQ(s.KeptShown(), &s.Kept());
    EXPECT_TRUE(test::Held(s.Kept()) == shown);
    EXPECT_EQ(s.KeptHeader(), header);
    s.SaveKept(Path("kept.sim"));
    PlayHistory read;
    ASSERT_EQ(LoadSimFile(Path("kept.sim"), read).status, SimStatus::Ok);
    EXPECT_TRUE(read == shown);
    // Played through, the new run is kept beside the one on screen.
    EXPECT_EQ(s.PlayKept({{false, 6}, 500}), RunEnd::Done);
    EXPECT_EQ(s.Kept().size(), 500u);
    EXPECT_TRUE(test::Held(*s.KeptShown()) == shown);

    // Nothing on screen: as SimulateRun leaves it.
    RunSession none(8);
    RunHooks stop;
    stop.stopRequested = [] { return true; };
    EXPECT_EQ(none.PlayKept({{false, 6}, 2 * kSliceGames}, stop), RunEnd::Stopped);
    EXPECT_EQ(history.SimulateRun({{false, 6}, 2 * kSliceGames}, stop), RunEnd::Stopped);
    EXPECT_EQ(none.KeptShown(), nullptr);
    EXPECT_TRUE(none.Kept().empty());
    EXPECT_EQ(none.Kept().Tallies(), RunTallies{});
    EXPECT_EQ(none.KeptHeader(), history.CurrentHeader());
}

// A save of the kept run is refused before writing when the disk cannot
// hold it, and a failed save leaves the earlier file whole.
TEST_F(Session, AKeptRunsSaveIsRefusedWithoutRoom) {
    const std::string file = Path("old.sim");
    RunSession s(12);
    s.PlayKept({{false, 5}, 900});
    s.SaveKept(file);
    const std::string before = test::Sha256OfFile(file);
    ASSERT_EQ(s.PlayKept({{false, 4}, 2 * static_cast<std::int32_t>(kDefaultBlockGames)}), RunEnd::Done);
    const std::uint64_t need = SimFileBytes(s.Kept().size());
    std::optional<std::uint64_t> room = need - 1;
    std::vector<std::string> probed;
    s.SetFreeBytesProbe([&](const std::string& path) {
        probed.push_back(path);
        return room;
    });
    try {
        s.SaveKept(file);
        ADD_FAILURE() << "not refused";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), *NoRoomMessage(file, need, need - 1));
        EXPECT_EQ(e.Code(), ENOSPC);
    }
    EXPECT_EQ(probed, std::vector<std::string>{file});
    EXPECT_EQ(test::Sha256OfFile(file), before);
    room = std::nullopt;
    EXPECT_THROW(s.SaveKept(Path("missing/x.sim")), FileError);
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"old.sim"});
    room = need;
    s.SaveKept(file);
    EXPECT_EQ(fs::file_size(file), need);
}

}  // namespace
}  // namespace morvane
