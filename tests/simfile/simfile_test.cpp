#include "simfile/simfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Helpers. Expected bytes are built here by shifting, not by the code under
// test, so a wrong byte order or column order shows up.

std::string LE(std::initializer_list<std::int64_t> values) {
    std::string s;
    for (std::int64_t v : values) {
        const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
        for (int i = 0; i < 4; ++i) s += static_cast<char>((u >> (8 * i)) & 0xFF);
    }
    return s;
}

std::int32_t ReadLE(const std::string& s, std::size_t offset) {
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(s.at(offset + i))) << (8 * i);
    return static_cast<std::int32_t>(u);
}

GameRecord Rec(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e, std::int32_t f,
               std::int32_t g, std::int32_t h) {
    return {a, b, c, d, e, f, g, h};
}

// A short run with a distinct value in every cell, a negative balance and the
// extremes of the range.
PlayHistory ThreeGames() {
    PlayHistory h;
    h.push_back(Rec(101, -3, 0, 1, 0, 11, 21, 31));
    h.push_back(Rec(102, -6, 2, 2, 1, 12, 22, 32));
    h.push_back(Rec(1, INT32_MIN, INT32_MAX, 3, 2, -13, 23, 33));
    return h;
}

std::string ThreeGamesBytes(std::int32_t setting, std::int32_t games) {
    return LE({10, setting, games}) + LE({101, -3, 0, 1, 0, 11, 21, 31}) + LE({102, -6, 2, 2, 1, 12, 22, 32}) +
           LE({1, INT32_MIN, INT32_MAX, 3, 2, -13, 23, 33});
}

PlayHistory RandomHistory(std::size_t games, std::uint32_t seed) {
    std::mt19937 rng(seed);
    PlayHistory h;
    for (std::size_t i = 0; i < games; ++i) {
        GameRecord r{};
        for (std::int32_t* v :
             {&r.gamesSinceBB, &r.medalBalance, &r.bbSets, &r.playCount, &r.bbKind, &r.kmode, &r.mode, &r.koyaku})
            *v = static_cast<std::int32_t>(rng());
        h.push_back(r);
    }
    return h;
}

// The plain reference layout: record after record, column after column.
std::string NaiveEncode(const SimHeader& header, const PlayHistory& h) {
    std::string s = LE({10, header.setting, header.games});
    for (std::size_t i = 0; i < h.size(); ++i) {
        const GameRecord r = h.at(i);
        s += LE({r.gamesSinceBB, r.medalBalance, r.bbSets, r.playCount, r.bbKind, r.kmode, r.mode, r.koyaku});
    }
    return s;
}

std::string Encode(const SimHeader& header, const PlayHistory& h) {
    std::string s;
    EncodeSim(header, h, [&](const char* p, std::size_t n) { s.append(p, n); });
    return s;
}

// What a decode leaves behind, comparable as a whole.
struct Outcome {
    SimStatus status;
    SimHeader header;
    std::uint64_t droppedBytes;
    PlayHistory history;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

const char* StatusName(SimStatus s) {
    switch (s) {
    case SimStatus::Ok: return "Ok";
    case SimStatus::NotSimulation: return "NotSimulation";
    case SimStatus::ShortHeader: return "ShortHeader";
    case SimStatus::TooLarge: return "TooLarge";
    }
    return "?";
}

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "{" << StatusName(o.status) << ", setting " << o.header.setting << ", games " << o.header.games
        << ", dropped " << o.droppedBytes << ", records " << o.history.size() << "}";
}

PlayHistory Prefilled() {
    PlayHistory h;
    h.push_back(Rec(7, 7, 7, 7, 7, 7, 7, 7));
    h.push_back(Rec(-8, 8, -8, 8, -8, 8, -8, 8));
    return h;
}

// Feeds `bytes` cut at the given chunk sizes (the rest in one piece), into a
// history that starts as `start`.
Outcome Decode(const std::string& bytes, const std::vector<std::size_t>& chunks = {}, const PlayHistory& start = {},
               std::uint64_t hint = 0, std::uint64_t available = 0) {
    Outcome o{SimStatus::Ok, {}, 0, start};
    SimDecoder d(o.history, hint, available);
    std::size_t pos = 0;
    for (std::size_t c : chunks) {
        c = std::min(c, bytes.size() - pos);
        d.Feed({bytes.data() + pos, c});
        pos += c;
    }
    d.Feed({bytes.data() + pos, bytes.size() - pos});
    const SimReadResult r = d.Finish();
    o.status = r.status;
    o.header = r.header;
    o.droppedBytes = r.droppedBytes;
    return o;
}

std::vector<std::size_t> EvenChunks(std::size_t total, std::size_t size) {
    return std::vector<std::size_t>(total / size + 1, size);
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "morvane-simfile-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

std::vector<std::string> Entries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// ---------------------------------------------------------------------------
// Encoding

TEST(SimEncode, LaysOutHeaderAndRecordsByteExact) {
    const std::string bytes = Encode({4, 3}, ThreeGames());
    ASSERT_EQ(bytes.size(), 12u + 3 * 32);
    EXPECT_EQ(bytes, ThreeGamesBytes(4, 3));
    EXPECT_EQ(ReadLE(bytes, 0), 10);
    EXPECT_EQ(ReadLE(bytes, 4), 4);
    EXPECT_EQ(ReadLE(bytes, 8), 3);
    // PlayNumLog is the fourth value of each record.
    EXPECT_EQ(ReadLE(bytes, 24), 1);
    EXPECT_EQ(ReadLE(bytes, 56), 2);
    EXPECT_EQ(ReadLE(bytes, 88), 3);
    // A negative balance is stored as its two's complement.
    EXPECT_EQ(bytes.substr(16, 4), std::string("\xFD\xFF\xFF\xFF", 4));
    EXPECT_EQ(bytes.substr(80, 4), std::string("\x00\x00\x00\x80", 4));
}

TEST(SimEncode, EmptyHistoryIsTheTwelveByteHeader) {
    EXPECT_EQ(Encode({1, 0}, PlayHistory{}), LE({10, 1, 0}));
    EXPECT_EQ(Encode({1, 0}, PlayHistory{}), std::string("\x0A\0\0\0\x01\0\0\0\0\0\0\0", 12));
}

TEST(SimEncode, HeaderValuesAreWrittenAsGivenNotTakenFromTheHistory) {
    EXPECT_EQ(Encode({-2, 999}, ThreeGames()), ThreeGamesBytes(-2, 999));
    EXPECT_EQ(Encode({6, 0}, ThreeGames()), ThreeGamesBytes(6, 0));
}

TEST(SimEncode, HistoriesSpanningSeveralWriteChunksMatchThePlainLayout) {
    // Large enough that the writer has to hand over more than one buffer,
    // with a last chunk that is not full.
    for (std::size_t games :
         {std::size_t{1}, std::size_t{32767}, std::size_t{32768}, std::size_t{32769}, std::size_t{70001}}) {
        const PlayHistory h = RandomHistory(games, static_cast<std::uint32_t>(games));
        std::size_t calls = 0;
        std::string bytes;
        EncodeSim({3, static_cast<std::int32_t>(games)}, h, [&](const char* p, std::size_t n) {
            ++calls;
            bytes.append(p, n);
        });
        EXPECT_EQ(bytes.size(), SimFileBytes(games)) << games;
        EXPECT_TRUE(bytes == NaiveEncode({3, static_cast<std::int32_t>(games)}, h)) << games;
        EXPECT_GE(calls, 2u) << games;
    }
}

TEST(SimEncode, PortableConversionGivesTheSameBytesAndReadsThemBack) {
    // A big-endian host converts value by value; here it must agree byte for
    // byte with the records copied as they are.
    for (std::size_t games : {std::size_t{0}, std::size_t{3}, std::size_t{32768}, std::size_t{70001}}) {
        const PlayHistory h = RandomHistory(games, static_cast<std::uint32_t>(games) + 7);
        std::string bytes;
        EncodeRecordsPortable(h.records(), [&](const char* p, std::size_t n) { bytes.append(p, n); });
        EXPECT_TRUE(bytes == NaiveEncode({0, 0}, h).substr(kSimHeaderBytes)) << games;
        std::vector<GameRecord> back(games);
        DecodeRecordsPortable(bytes.data(), games, back.data());
        EXPECT_TRUE(std::equal(back.begin(), back.end(), h.records().begin(), h.records().end())) << games;
    }
}

// ---------------------------------------------------------------------------
// Decoding

TEST(SimDecode, RoundTripGivesTheSameHeaderAndHistory) {
    const PlayHistory three = ThreeGames();
    const Outcome o = Decode(Encode({4, 3}, three));
    EXPECT_EQ(o, (Outcome{SimStatus::Ok, {4, 3}, 0, three}));

    const PlayHistory big = RandomHistory(40000, 5);
    EXPECT_EQ(Decode(Encode({6, 40000}, big)), (Outcome{SimStatus::Ok, {6, 40000}, 0, big}));

    EXPECT_EQ(Decode(LE({10, 1, 0})), (Outcome{SimStatus::Ok, {1, 0}, 0, PlayHistory{}}));
}

TEST(SimDecode, NoValueIsRangeChecked) {
    const PlayHistory three = ThreeGames();
    for (const SimHeader header : {SimHeader{0, 0}, SimHeader{7, 3}, SimHeader{-1, -1}, SimHeader{INT32_MIN, INT32_MAX},
                                   SimHeader{INT32_MAX, INT32_MIN}}) {
        EXPECT_EQ(Decode(ThreeGamesBytes(header.setting, header.games)), (Outcome{SimStatus::Ok, header, 0, three}))
            << header.setting << " " << header.games;
    }
}

TEST(SimDecode, GamesFieldIsReportedAsStoredWhateverTheRecordCount) {
    const PlayHistory three = ThreeGames();
    EXPECT_EQ(Decode(ThreeGamesBytes(2, 500)), (Outcome{SimStatus::Ok, {2, 500}, 0, three}));
    EXPECT_EQ(Decode(ThreeGamesBytes(2, 0)), (Outcome{SimStatus::Ok, {2, 0}, 0, three}));
    EXPECT_EQ(Decode(LE({10, 2, 8000})), (Outcome{SimStatus::Ok, {2, 8000}, 0, PlayHistory{}}));
}

TEST(SimDecode, OnlyTheMarkTenIsASimulationFile) {
    const PlayHistory before = Prefilled();
    const std::string body = LE({3, 3}) + LE({1, 2, 3, 4, 5, 6, 7, 8});
    for (const std::int64_t mark : {0LL, 9LL, 11LL, -10LL, 0x0A000000LL, 0x10ALL, 0x7FFFFFFFLL}) {
        PlayHistory h = before;
        SimDecoder d(h);
        const std::string bytes = LE({mark}) + body;
        EXPECT_FALSE(d.Feed({bytes.data(), bytes.size()})) << mark;
        const SimReadResult r = d.Finish();
        EXPECT_EQ(r.status, SimStatus::NotSimulation) << mark;
        EXPECT_EQ(r.header, (SimHeader{0, 0})) << mark;
        EXPECT_TRUE(h == before) << mark;
    }
}

TEST(SimDecode, FewerThanFourBytesIsNotASimulationFileAndLeavesTheHistory) {
    const PlayHistory before = Prefilled();
    const std::string mark = LE({10});
    for (std::size_t n = 0; n < 4; ++n) {
        const Outcome o = Decode(mark.substr(0, n), {}, before);
        EXPECT_EQ(o, (Outcome{SimStatus::NotSimulation, {0, 0}, 0, before})) << n;
    }
}

TEST(SimDecode, MarkWithAnIncompleteHeaderIsShortHeaderWithMissingFieldsZero) {
    const std::string full = LE({10, 5, 777});
    for (std::size_t n = 4; n < 12; ++n) {
        const Outcome o = Decode(full.substr(0, n), {}, Prefilled());
        const SimHeader expected{n >= 8 ? 5 : 0, 0};
        EXPECT_EQ(o, (Outcome{SimStatus::ShortHeader, expected, 0, PlayHistory{}})) << n;
    }
    EXPECT_EQ(Decode(full, {}, Prefilled()), (Outcome{SimStatus::Ok, {5, 777}, 0, PlayHistory{}}));
}

TEST(SimDecode, IncompleteLastRecordIsDropped) {
    const std::string whole = ThreeGamesBytes(4, 3);
    const std::string extra = LE({1, 2, 3, 4, 5, 6, 7, 8});
    const PlayHistory three = ThreeGames();
    for (std::size_t k = 1; k < 32; ++k) {
        EXPECT_EQ(Decode(whole + extra.substr(0, k)), (Outcome{SimStatus::Ok, {4, 3}, k, three})) << k;
    }
    // A lone partial record after the header.
    for (std::size_t k = 1; k < 32; ++k) {
        EXPECT_EQ(Decode(LE({10, 1, 1}) + extra.substr(0, k)), (Outcome{SimStatus::Ok, {1, 1}, k, PlayHistory{}})) << k;
    }
}

TEST(SimDecode, ASimulationFileReplacesWhatTheHistoryHeld) {
    PlayHistory start = RandomHistory(50, 9);
    const PlayHistory three = ThreeGames();
    EXPECT_EQ(Decode(ThreeGamesBytes(4, 3), {}, start), (Outcome{SimStatus::Ok, {4, 3}, 0, three}));
    // The same with the storage reserved beyond the file's size.
    start.reserve(1000);
    EXPECT_EQ(Decode(ThreeGamesBytes(4, 3), {}, start, 3), (Outcome{SimStatus::Ok, {4, 3}, 0, three}));
}

TEST(SimDecode, SizeHintThatIsWrongStillReadsTheWholeFile) {
    const PlayHistory big = RandomHistory(1000, 3);
    const std::string bytes = Encode({2, 1000}, big);
    for (std::uint64_t hint : {1ull, 999ull, 1000ull, 5000ull}) {
        EXPECT_EQ(Decode(bytes, EvenChunks(bytes.size(), 100), {}, hint), (Outcome{SimStatus::Ok, {2, 1000}, 0, big}))
            << hint;
    }
}

TEST(SimDecode, HistoryThatWouldNotFitIsRefusedBeforeTheHistoryIsTouched) {
    const PlayHistory before = Prefilled();
    const std::string bytes = Encode({3, 1000}, RandomHistory(1000, 1));

    PlayHistory h = before;
    SimDecoder d(h, 1000, 64);
    EXPECT_FALSE(d.Feed({bytes.data(), bytes.size()}));
    const SimReadResult r = d.Finish();
    EXPECT_EQ(r.status, SimStatus::TooLarge);
    EXPECT_TRUE(h == before);

    // Fed a byte at a time, the refusal comes with the mark.
    PlayHistory h2 = before;
    SimDecoder d2(h2, 1000, 64);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(d2.Feed({bytes.data() + i, 1})) << i;
    EXPECT_FALSE(d2.Feed({bytes.data() + 3, 1}));
    EXPECT_FALSE(d2.Feed({bytes.data() + 4, bytes.size() - 4}));
    EXPECT_EQ(d2.Finish().status, SimStatus::TooLarge);
    EXPECT_TRUE(h2 == before);

    // Enough room: read as usual.
    EXPECT_EQ(Decode(bytes, {}, before, 1000, std::uint64_t{1} << 30).status, SimStatus::Ok);
    // A file without the mark stays "not a simulation file" however little room there is.
    EXPECT_EQ(Decode(LE({11}) + bytes.substr(4), {}, before, 1000, 64),
              (Outcome{SimStatus::NotSimulation, {0, 0}, 0, before}));
}

// The same bytes cut anywhere decode the same.
class SimDecodeChunks : public ::testing::TestWithParam<std::string> {};

std::string ChunkSample(const std::string& which) {
    if (which == "records") return ThreeGamesBytes(4, 3) + Encode({0, 0}, RandomHistory(2, 4)).substr(12) + "tail";
    if (which == "partial") return LE({10, 6, 9}) + "0123456789";
    if (which == "shortheader") return LE({10, 5, 1}).substr(0, 9);
    if (which == "mark") return LE({10});
    if (which == "notsim") return LE({11, 1, 1}) + ThreeGamesBytes(1, 1);
    if (which == "tiny") return std::string("\x0A\0", 2);
    return "";
}

TEST_P(SimDecodeChunks, EveryChunkSizeAndRandomSplitsGiveTheSameResult) {
    const std::string bytes = ChunkSample(GetParam());
    const PlayHistory start = Prefilled();
    const Outcome whole = Decode(bytes, {}, start);

    for (std::size_t size = 1; size <= 40; ++size) {
        EXPECT_EQ(Decode(bytes, EvenChunks(bytes.size(), size), start), whole) << "chunk size " << size;
    }
    std::mt19937 rng(77);
    for (int trial = 0; trial < 300; ++trial) {
        std::vector<std::size_t> cuts;
        std::size_t left = bytes.size();
        while (left > 0) {
            // Empty chunks included.
            const std::size_t c = std::min<std::size_t>(left, rng() % 45);
            cuts.push_back(c);
            left -= c;
        }
        EXPECT_EQ(Decode(bytes, cuts, start), whole) << "trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, SimDecodeChunks,
                         ::testing::Values("records", "partial", "shortheader", "mark", "notsim", "tiny"));

TEST(SimDecodeChunks, SamplesDecodeAsExpectedInOnePiece) {
    // Pins the one-piece results the split decodes are compared against.
    const PlayHistory start = Prefilled();
    Outcome o = Decode(ChunkSample("records"), {}, start);
    EXPECT_EQ(o.status, SimStatus::Ok);
    EXPECT_EQ(o.history.size(), 5u);
    EXPECT_EQ(o.droppedBytes, 4u);
    o = Decode(ChunkSample("partial"), {}, start);
    EXPECT_EQ(o, (Outcome{SimStatus::Ok, {6, 9}, 10, PlayHistory{}}));
    o = Decode(ChunkSample("shortheader"), {}, start);
    EXPECT_EQ(o, (Outcome{SimStatus::ShortHeader, {5, 0}, 0, PlayHistory{}}));
    o = Decode(ChunkSample("mark"), {}, start);
    EXPECT_EQ(o, (Outcome{SimStatus::ShortHeader, {0, 0}, 0, PlayHistory{}}));
    o = Decode(ChunkSample("notsim"), {}, start);
    EXPECT_EQ(o, (Outcome{SimStatus::NotSimulation, {0, 0}, 0, start}));
    o = Decode(ChunkSample("tiny"), {}, start);
    EXPECT_EQ(o, (Outcome{SimStatus::NotSimulation, {0, 0}, 0, start}));
}

// ---------------------------------------------------------------------------
// Files

TEST(SimLoad, ReadsAWrittenFile) {
    TempDir dir;
    const PlayHistory big = RandomHistory(70000, 8);
    WriteAll(dir / "a.sim", NaiveEncode({5, 70000}, big) + "xyz");
    PlayHistory h = Prefilled();
    const SimReadResult r = LoadSimFile(dir / "a.sim", h);
    EXPECT_EQ(r.status, SimStatus::Ok);
    EXPECT_EQ(r.header, (SimHeader{5, 70000}));
    EXPECT_EQ(r.droppedBytes, 3u);
    EXPECT_TRUE(h == big);
}

// Read in pieces without keeping the records, a file gives what loading it
// whole gives: the same result and the same records in order, over pieces
// of the reader's size and the samples the chunked decoder is held to.
TEST(SimLoad, InPiecesGivesWhatLoadingWholeGives) {
    TempDir dir;
    std::vector<std::string> files{NaiveEncode({5, 70000}, RandomHistory(70000, 8)) + "xyz",
                                   NaiveEncode({2, 32768}, RandomHistory(32768, 3)), std::string()};
    for (const char* sample : {"records", "partial", "shortheader", "mark", "notsim", "tiny"})
        files.push_back(ChunkSample(sample));
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        WriteAll(dir / "f.sim", files[i]);
        PlayHistory whole;
        const SimReadResult expected = LoadSimFile(dir / "f.sim", whole);
        PlayHistory pieces;
        std::size_t calls = 0;
        const SimReadResult r =
            ReadSimFileInPieces(dir / "f.sim", [&](std::uint64_t first, std::span<const GameRecord> records) {
                EXPECT_EQ(first, pieces.size());
                EXPECT_FALSE(records.empty());
                for (const GameRecord& g : records) pieces.push_back(g);
                ++calls;
                return true;
            });
        EXPECT_EQ(r.status, expected.status);
        EXPECT_EQ(r.header, expected.header);
        EXPECT_EQ(r.droppedBytes, expected.droppedBytes);
        if (expected.status == SimStatus::Ok) {
            EXPECT_TRUE(pieces == whole);
        }
        if (whole.size() > 32768) {
            EXPECT_GT(calls, 1u) << "read in more than one piece";
        }
    }
    // A false from the piece stops the reading.
    WriteAll(dir / "f.sim", files[0]);
    std::size_t calls = 0;
    ReadSimFileInPieces(dir / "f.sim", [&](std::uint64_t, std::span<const GameRecord>) { return ++calls == 0; });
    EXPECT_EQ(calls, 1u);
    EXPECT_THROW(ReadSimFileInPieces(dir / "missing.sim", {}), FileError);
}

TEST(SimLoad, ShortAndForeignFiles) {
    TempDir dir;
    const PlayHistory before = Prefilled();

    WriteAll(dir / "short.sim", LE({10, 3}).substr(0, 6));
    PlayHistory h = before;
    SimReadResult r = LoadSimFile(dir / "short.sim", h);
    EXPECT_EQ(r.status, SimStatus::ShortHeader);
    EXPECT_EQ(r.header, (SimHeader{0, 0}));
    EXPECT_TRUE(h.empty());

    for (const std::string& foreign :
         {std::string("hello, world\n"), std::string(), std::string("\x0A", 1), LE({0x0A000000, 1, 1})}) {
        WriteAll(dir / "foreign.txt", foreign);
        PlayHistory kept = before;
        r = LoadSimFile(dir / "foreign.txt", kept);
        EXPECT_EQ(r.status, SimStatus::NotSimulation) << foreign.size();
        EXPECT_TRUE(kept == before) << foreign.size();
    }
}

TEST(SimLoad, MissingOrUnreadableFileThrowsNamingThePath) {
    TempDir dir;
    const std::string missing = dir / "nowhere.sim";
    PlayHistory h = Prefilled();
    try {
        LoadSimFile(missing, h);
        ADD_FAILURE() << "no exception";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
    }
    EXPECT_TRUE(h == Prefilled());

    // A folder opens but cannot be read.
    try {
        LoadSimFile(dir.path().string(), h);
        ADD_FAILURE() << "no exception";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.path().string()), std::string::npos) << e.what();
    }
    EXPECT_TRUE(h == Prefilled());
}

TEST(SimSave, WritesExactlyTheEncodedBytesAndNothingElse) {
    TempDir dir;
    SaveSimFile(dir / "run.sim", {4, 3}, ThreeGames());
    EXPECT_EQ(ReadAll(dir / "run.sim"), ThreeGamesBytes(4, 3));

    const PlayHistory big = RandomHistory(70000, 2);
    SaveSimFile(dir / "big.sim", {2, 70000}, big);
    EXPECT_TRUE(ReadAll(dir / "big.sim") == NaiveEncode({2, 70000}, big));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"big.sim", "run.sim"}));
}

TEST(SimSave, SaveBeforeAnyRunIsTheTwelveByteHeader) {
    TempDir dir;
    SaveSimFile(dir / "empty.sim", {1, 0}, PlayHistory{});
    EXPECT_EQ(ReadAll(dir / "empty.sim"), std::string("\x0A\0\0\0\x01\0\0\0\0\0\0\0", 12));
}

TEST(SimSave, ReplacesAnExistingFile) {
    TempDir dir;
    const std::string path = dir / "run.sim";
    WriteAll(path, std::string(5000, 'x'));
    SaveSimFile(path, {4, 3}, ThreeGames());
    EXPECT_EQ(ReadAll(path), ThreeGamesBytes(4, 3));
    SaveSimFile(path, {1, 0}, PlayHistory{});
    EXPECT_EQ(ReadAll(path), LE({10, 1, 0}));
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"run.sim"}));
}

TEST(SimSave, IntoAMissingFolderThrowsNamingThePathAndCreatesNothing) {
    TempDir dir;
    const std::string path = dir / "no/such/folder/run.sim";
    try {
        SaveSimFile(path, {4, 3}, ThreeGames());
        ADD_FAILURE() << "no exception";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_TRUE(Entries(dir.path()).empty());
}

TEST(SimSave, TargetThatIsAFolderThrowsAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::string path = dir / "run.sim";
    fs::create_directory(path);
    try {
        SaveSimFile(path, {4, 3}, ThreeGames());
        ADD_FAILURE() << "no exception";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"run.sim"}));
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

// Makes writes past `limit` bytes fail with EFBIG (instead of a signal) while
// it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ok_ = sigaction(SIGXFSZ, &ignore, &oldAction_) == 0 && getrlimit(RLIMIT_FSIZE, &oldLimit_) == 0;
        if (!ok_) return;
        struct rlimit lowered = oldLimit_;
        lowered.rlim_cur = limit;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &oldLimit_);
        sigaction(SIGXFSZ, &oldAction_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool ok() const { return ok_; }

private:
    struct sigaction oldAction_ {};
    struct rlimit oldLimit_ {};
    bool ok_ = false;
};

TEST(SimSave, WriteFailingPartWayKeepsThePreviousFileWhole) {
    TempDir dir;
    const std::string path = dir / "run.sim";
    SaveSimFile(path, {4, 3}, ThreeGames());
    const std::string previous = ReadAll(path);
    ASSERT_EQ(previous, ThreeGamesBytes(4, 3));

    // Well past the limit, and past the first write buffer too.
    const PlayHistory big = RandomHistory(40000, 6);
    std::optional<std::string> error;
    bool limited = false;
    {
        FileSizeLimit limit(100000);
        limited = limit.ok();
        if (limited) {
            try {
                SaveSimFile(path, {2, 40000}, big);
            } catch (const FileError& e) {
                error = e.what();
            }
        }
    }
    ASSERT_TRUE(limited) << "could not lower the file size limit";
    ASSERT_TRUE(error.has_value()) << "no exception";
    EXPECT_NE(error->find(path), std::string::npos) << *error;
    EXPECT_EQ(ReadAll(path), previous);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"run.sim"}));

    // The limit is gone again: the same save now goes through.
    SaveSimFile(path, {2, 40000}, big);
    EXPECT_TRUE(ReadAll(path) == NaiveEncode({2, 40000}, big));
}

TEST(SimSave, SavedFileLoadsBackEqual) {
    TempDir dir;
    const PlayHistory big = RandomHistory(33000, 11);
    SaveSimFile(dir / "r.sim", {3, -5}, big);
    PlayHistory h;
    const SimReadResult r = LoadSimFile(dir / "r.sim", h);
    EXPECT_EQ(r.status, SimStatus::Ok);
    EXPECT_EQ(r.header, (SimHeader{3, -5}));
    EXPECT_EQ(r.droppedBytes, 0u);
    EXPECT_TRUE(h == big);
}

// ---------------------------------------------------------------------------
// Save targets: what stands at the path decides how it is written. Each case
// runs in a child process, as `nobody` where permissions matter and the
// tests run as root.

std::optional<std::string> SaveError(const std::string& path, const SimHeader& header, const PlayHistory& h) {
    try {
        SaveSimFile(path, header, h);
    } catch (const FileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

bool Contains(const std::optional<std::string>& text, const std::string& part) {
    return text && text->find(part) != std::string::npos;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct SaveTarget {
    const char* name;
    bool unprivileged;  // as nobody when the tests run as root
    bool rootOnly;      // needs root to set the scene up
    std::function<std::string(const fs::path& dir)> run;
};

void PrintTo(const SaveTarget& t, std::ostream* os) { *os << t.name; }

const std::string kOld = "old contents";

const SaveTarget kSaveTargets[] = {
    {"LinkChainIsFollowedAndKept", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         fs::create_directories(dir / "a");
         fs::create_directories(dir / "b");
         fs::create_directories(dir / "c");
         WriteAll((dir / "c/real.sim").string(), kOld);
         fs::create_symlink("../c/real.sim", dir / "b/second.sim");
         fs::create_symlink("../b/second.sim", dir / "a/first.sim");
         const auto error = SaveError((dir / "a/first.sim").string(), {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(fs::is_symlink(dir / "a/first.sim") && fs::read_symlink(dir / "a/first.sim") == "../b/second.sim",
                  "first link replaced");
         c.Expect(fs::is_symlink(dir / "b/second.sim"), "second link replaced");
         c.Expect(ReadAll((dir / "c/real.sim").string()) == ThreeGamesBytes(4, 3), "linked file not written");
         c.Expect(Entries(dir / "a").size() == 1 && Entries(dir / "c").size() == 1, "stray files");
         return c.Failures();
     }},
    {"DanglingLinkCreatesTheFileItNames", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         fs::create_directories(dir / "sub");
         fs::create_symlink("sub/new.sim", dir / "link.sim");
         const auto error = SaveError((dir / "link.sim").string(), {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(fs::is_symlink(dir / "link.sim"), "link replaced");
         c.Expect(ReadAll((dir / "sub/new.sim").string()) == ThreeGamesBytes(4, 3), "named file not written");
         return c.Failures();
     }},
    {"PermissionBitsAreKept", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "private.sim").string();
         WriteAll(path, kOld);
         ::chmod(path.c_str(), 0604);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(ModeOf(path) == 0604, "mode now " + std::to_string(ModeOf(path)));
         c.Expect(ReadAll(path) == ThreeGamesBytes(4, 3), "not written");
         return c.Failures();
     }},
    {"OwnerAndGroupAreKept", false, true,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "theirs.sim").string();
         WriteAll(path, kOld);
         if (::chown(path.c_str(), test::kNobody, test::kNobody) != 0 || ::chmod(path.c_str(), 0640) != 0)
             return std::string("could not set the scene up");
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         struct stat st {};
         c.Expect(::stat(path.c_str(), &st) == 0 && st.st_uid == test::kNobody && st.st_gid == test::kNobody,
                  "owner or group changed");
         c.Expect(ModeOf(path) == 0640, "mode changed");
         return c.Failures();
     }},
    {"OtherHardLinksKeepTheOldContents", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         WriteAll((dir / "a.sim").string(), kOld);
         fs::create_hard_link(dir / "a.sim", dir / "b.sim");
         const auto error = SaveError((dir / "a.sim").string(), {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(ReadAll((dir / "a.sim").string()) == ThreeGamesBytes(4, 3), "named file not written");
         c.Expect(ReadAll((dir / "b.sim").string()) == kOld, "the other link changed");
         return c.Failures();
     }},
    {"ReadOnlyFileIsRefusedNotReplaced", true, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "locked.sim").string();
         WriteAll(path, kOld);
         ::chmod(path.c_str(), 0444);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(Contains(error, path) && Contains(error, std::strerror(EACCES)), error.value_or("no error"));
         c.Expect(ReadAll(path) == kOld, "read-only file replaced");
         c.Expect(Entries(dir) == std::vector<std::string>{"locked.sim"}, "stray files");
         return c.Failures();
     }},
    {"FolderWithoutWriteRightsSaysSo", true, false,
     [](const fs::path& dir) {
         test::Checks c;
         fs::create_directory(dir / "shut");
         ::chmod((dir / "shut").c_str(), 0555);
         const std::string path = (dir / "shut/new.sim").string();
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(Contains(error, path) && Contains(error, "folder") && Contains(error, "not writable"),
                  error.value_or("no error"));
         c.Expect(Entries(dir / "shut").empty(), "something was created");
         return c.Failures();
     }},
    {"DeviceBehindALinkIsWrittenInPlace", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         fs::create_symlink("/dev/null", dir / "null.sim");
         const auto error = SaveError((dir / "null.sim").string(), {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(fs::is_symlink(dir / "null.sim") && fs::read_symlink(dir / "null.sim") == "/dev/null",
                  "link replaced");
         c.Expect(fs::is_character_file("/dev/null"), "/dev/null is no device any more");
         c.Expect(Entries(dir) == std::vector<std::string>{"null.sim"}, "stray files");
         return c.Failures();
     }},
    {"FullDeviceIsAWriteError", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "full.sim").string();
         fs::create_symlink("/dev/full", path);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(Contains(error, path) && Contains(error, std::strerror(ENOSPC)), error.value_or("no error"));
         c.Expect(fs::is_symlink(path), "link replaced");
         return c.Failures();
     }},
    {"FifoWithAReaderGetsTheBytes", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "pipe.sim").string();
         ::mkfifo(path.c_str(), 0600);
         const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         std::string got(4096, '\0');
         const ssize_t n = reader < 0 ? -1 : ::read(reader, got.data(), got.size());
         got.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
         if (reader >= 0) ::close(reader);
         c.Expect(got == ThreeGamesBytes(4, 3), "the reader got " + std::to_string(got.size()) + " bytes");
         c.Expect(fs::is_fifo(path), "FIFO replaced");
         return c.Failures();
     }},
    {"FifoWithoutAReaderIsRefusedAtOnce", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "pipe.sim").string();
         ::mkfifo(path.c_str(), 0600);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(Contains(error, path) && Contains(error, "no process is reading"), error.value_or("no error"));
         c.Expect(fs::is_fifo(path), "FIFO replaced");
         return c.Failures();
     }},
    {"LongNameKeepsItsTemporaryNameValid", false, false,
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / (std::string(251, 'n') + ".sim")).string();
         WriteAll(path, kOld);
         const auto error = SaveError(path, {4, 3}, ThreeGames());
         c.Expect(!error, error.value_or(""));
         c.Expect(ReadAll(path) == ThreeGamesBytes(4, 3), "not written");
         return c.Failures();
     }},
};

class SimSaveTargets : public ::testing::TestWithParam<SaveTarget> {};

TEST_P(SimSaveTargets, AreWrittenAsTheirKindRequires) {
    const SaveTarget& t = GetParam();
    if (t.rootOnly && !test::RunningAsRoot()) GTEST_SKIP() << "needs root to give a file to another user";
    TempDir dir;
    if (t.unprivileged) test::OpenToNobody(dir.path().string());
    const test::ChildOutcome o =
        test::RunInChild([&] { return t.run(dir.path()); }, {.unprivileged = t.unprivileged, .deadlineSeconds = 30});
    EXPECT_TRUE(o.Passed()) << o.Describe();
}

INSTANTIATE_TEST_SUITE_P(Cases, SimSaveTargets, ::testing::ValuesIn(kSaveTargets),
                         [](const ::testing::TestParamInfo<SaveTarget>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Signals during a save: the child saves a large history over an old file
// and the signal comes while the temporary file grows.

PlayHistory LargeHistory(std::size_t games) {
    PlayHistory h;
    GameRecord* r = h.extend(games);
    std::memset(static_cast<void*>(r), 0x5A, games * sizeof(GameRecord));
    return h;
}

// The temporary file the save of `target` writes, once it holds some bytes.
std::optional<std::string> GrowingTemporaryFile(const fs::path& dir, const std::string& target) {
    const std::string prefix = "." + target + ".morvane-save-";
    for (const std::string& name : Entries(dir)) {
        std::error_code ec;
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".tmp" &&
            fs::file_size(dir / name, ec) > 0)
            return name;
    }
    return std::nullopt;
}

struct SaveSignal {
    const char* name;
    int sig;
    bool ignoredBefore;  // the program was started with it ignored (nohup)
};

void PrintTo(const SaveSignal& s, std::ostream* os) { *os << s.name; }

class SimSaveSignals : public ::testing::TestWithParam<SaveSignal> {};

TEST_P(SimSaveSignals, LeaveTheOldFileWholeAndNoTemporaryFile) {
    const SaveSignal& s = GetParam();
    TempDir dir;
    const std::string target = dir / "big.sim";
    WriteAll(target, kOld);
    constexpr std::size_t kGames = std::size_t{4} << 20;  // 128 MiB, long enough to catch
    std::optional<std::string> seen;
    bool caughtMidSave = false;
    const test::ChildOutcome o = test::RunInChild(
        [&] {
            ::signal(s.sig, s.ignoredBefore ? SIG_IGN : SIG_DFL);
            const PlayHistory big = LargeHistory(kGames);
            const auto error = SaveError(target, {1, static_cast<std::int32_t>(kGames)}, big);
            return error.value_or("");
        },
        {.deadlineSeconds = 60},
        [&](pid_t pid) {
            for (int i = 0; i < 40000 && !seen; ++i) {
                seen = GrowingTemporaryFile(dir.path(), "big.sim");
                if (!seen) ::usleep(500);
            }
            // Held still, so the signal surely comes while the file is written.
            ::kill(pid, SIGSTOP);
            int status = 0;
            ::waitpid(pid, &status, WUNTRACED);
            caughtMidSave = seen && fs::exists(dir.path() / *seen);
            ::kill(pid, s.sig);
            ::kill(pid, SIGCONT);
        });
    ASSERT_TRUE(seen.has_value()) << "no temporary file was seen";
    ASSERT_TRUE(caughtMidSave) << "the save ended before the signal";
    EXPECT_NE(seen->find(".morvane-save-"), std::string::npos) << *seen;
    if (s.ignoredBefore) {
        // Still ignored: the save went through.
        EXPECT_TRUE(o.Passed()) << o.Describe();
        EXPECT_EQ(fs::file_size(target), SimFileBytes(kGames));
    } else {
        EXPECT_EQ(o.signal, s.sig) << o.Describe();
        EXPECT_EQ(ReadAll(target), kOld);
    }
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"big.sim"}));
}

INSTANTIATE_TEST_SUITE_P(Signals, SimSaveSignals,
                         ::testing::Values(SaveSignal{"Interrupt", SIGINT, false},
                                           SaveSignal{"Terminate", SIGTERM, false}, SaveSignal{"HangUp", SIGHUP, false},
                                           SaveSignal{"HangUpIgnoredByNohup", SIGHUP, true}),
                         [](const ::testing::TestParamInfo<SaveSignal>& info) { return std::string(info.param.name); });

TEST(SimSaveSignals, FileSizeLimitIsAWriteErrorNotADeath) {
    // As `ulimit -f` leaves it: a limit and SIGXFSZ at its default action.
    TempDir dir;
    const std::string path = dir / "run.sim";
    WriteAll(path, kOld);
    const test::ChildOutcome o = test::RunInChild([&] {
        test::Checks c;
        struct rlimit limit {};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100000;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return std::string("could not lower the limit");
        const auto error = SaveError(path, {2, 40000}, RandomHistory(40000, 6));
        c.Expect(Contains(error, path) && Contains(error, std::strerror(EFBIG)), error.value_or("no error"));
        return c.Failures();
    });
    EXPECT_TRUE(o.Passed()) << o.Describe();
    EXPECT_EQ(ReadAll(path), kOld);
    EXPECT_EQ(Entries(dir.path()), (std::vector<std::string>{"run.sim"}));
}

// ---------------------------------------------------------------------------
// Reading what is not a regular file: read as a stream, never waited on.

// A pipe fed by a thread; the path names its read end.
class FedPipe {
public:
    explicit FedPipe(std::function<void(int fd)> feed) {
        if (::pipe(fds_) != 0) throw std::runtime_error("pipe failed");
        writer_ = std::thread([this, feed] {
            feed(fds_[1]);
            ::close(fds_[1]);
        });
    }
    ~FedPipe() {
        // With no reader left the writer meets EPIPE and ends.
        ::close(fds_[0]);
        writer_.join();
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(fds_[0]); }

private:
    int fds_[2];
    std::thread writer_;
};

bool WriteFd(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w <= 0) return false;
        done += static_cast<std::size_t>(w);
    }
    return true;
}

struct SpecialRead {
    const char* name;
    std::function<std::string(const fs::path& dir)> run;
};

void PrintTo(const SpecialRead& r, std::ostream* os) { *os << r.name; }

const SpecialRead kSpecialReads[] = {
    {"FifoWithoutAWriterReadsAsEmpty",
     [](const fs::path& dir) {
         test::Checks c;
         const std::string path = (dir / "in.sim").string();
         ::mkfifo(path.c_str(), 0600);
         PlayHistory h = Prefilled();
         const SimReadResult r = LoadSimFile(path, h);
         c.Expect(r.status == SimStatus::NotSimulation, std::string("status ") + StatusName(r.status));
         c.Expect(h == Prefilled(), "history touched");
         return c.Failures();
     }},
    {"StreamOfAWholeFileIsRead",
     [](const fs::path&) {
         test::Checks c;
         const PlayHistory big = RandomHistory(70000, 3);
         const std::string bytes = NaiveEncode({5, 70000}, big);
         FedPipe pipe([&](int fd) { WriteFd(fd, bytes); });
         PlayHistory h;
         const SimReadResult r = LoadSimFile(pipe.Path(), h);
         c.Expect(r.status == SimStatus::Ok && r.header == SimHeader{5, 70000}, "not read");
         c.Expect(h == big, "history differs");
         return c.Failures();
     }},
    {"EndlessStreamStopsOnceItWouldNotFit",
     [](const fs::path&) {
         test::Checks c;
         ::signal(SIGPIPE, SIG_IGN);
         FedPipe pipe([](int fd) {
             if (!WriteFd(fd, LE({10, 1, 1}))) return;
             const std::string block(std::size_t{1} << 16, '\0');
             while (WriteFd(fd, block)) {}
         });
         // Room for a few megabytes of history beside the 64 MiB kept back.
         const std::uint64_t available = (std::uint64_t{64} << 20) + (std::uint64_t{8} << 20);
         PlayHistory h = Prefilled();
         const SimReadResult r = LoadSimFile(pipe.Path(), h, available);
         c.Expect(r.status == SimStatus::TooLarge, std::string("status ") + StatusName(r.status));
         c.Expect(h.empty() && h.capacity() == 0, "history kept its memory");
         return c.Failures();
     }},
};

class SimLoadSpecial : public ::testing::TestWithParam<SpecialRead> {};

TEST_P(SimLoadSpecial, NeverWaitsAndKeepsToMemory) {
    TempDir dir;
    // A hang ends at the deadline and fails the case.
    const test::ChildOutcome o = test::RunInChild([&] { return GetParam().run(dir.path()); }, {.deadlineSeconds = 20});
    EXPECT_TRUE(o.Passed()) << o.Describe();
}

INSTANTIATE_TEST_SUITE_P(Cases, SimLoadSpecial, ::testing::ValuesIn(kSpecialReads),
                         [](const ::testing::TestParamInfo<SpecialRead>& info) {
                             return std::string(info.param.name);
                         });

TEST(SimDecode, RecordsBeyondTheSizeHintStopAtTheMemoryLimit) {
    // A file that grows while it is read, or a stream without a size, is
    // held to the same limit as a file whose size is known.
    const std::uint64_t available = (std::uint64_t{64} << 20) + 32 * 8000;  // usable: 7000 records
    const std::string bytes = Encode({3, 9000}, RandomHistory(9000, 2));
    for (std::uint64_t hint : {0ull, 100ull}) {
        const Outcome o = Decode(bytes, EvenChunks(bytes.size(), 4096), Prefilled(), hint, available);
        EXPECT_EQ(o.status, SimStatus::TooLarge) << hint;
        EXPECT_TRUE(o.history.empty()) << hint;
        const std::string fits = Encode({3, 6000}, RandomHistory(6000, 2));
        EXPECT_EQ(Decode(fits, EvenChunks(fits.size(), 4096), {}, hint, available).status, SimStatus::Ok) << hint;
    }
}

}  // namespace
}  // namespace morvane
