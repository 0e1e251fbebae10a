#include "simfile/simfile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "run/history_room.h"
#include "system/memory_room.h"
#include "system/printable.h"
#include "system/read_pieces.h"

namespace morvane {
namespace {

constexpr std::size_t kChunkRecords = 32768;  // 1 MiB of records per read or converted write
constexpr std::size_t kWriteBlock = std::size_t{64} << 20;

inline void PutLE(char* p, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &u, 4);
    } else {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    }
}

inline std::int32_t GetLE(const char* p) {
    std::uint32_t u;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&u, p, 4);
    } else {
        u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<std::uint32_t>(static_cast<unsigned char>(p[i])) << (8 * i);
    }
    return static_cast<std::int32_t>(u);
}

}  // namespace

void EncodeRecordsPortable(std::span<const GameRecord> records, const ByteSink& sink) {
    std::vector<char> buf(std::min(records.size(), kChunkRecords) * kSimRecordBytes);
    for (std::size_t start = 0; start < records.size(); start += kChunkRecords) {
        const std::size_t count = std::min(kChunkRecords, records.size() - start);
        char* dst = buf.data();
        for (const GameRecord& r : records.subspan(start, count)) {
            for (std::int32_t v :
                 {r.gamesSinceBB, r.medalBalance, r.bbSets, r.playCount, r.bbKind, r.kmode, r.mode, r.koyaku}) {
                PutLE(dst, v);
                dst += 4;
            }
        }
        sink(buf.data(), count * kSimRecordBytes);
    }
}

void DecodeRecordsPortable(const char* p, std::size_t records, GameRecord* out) {
    for (std::size_t i = 0; i < records; ++i, p += kSimRecordBytes) {
        out[i] = {GetLE(p),      GetLE(p + 4),  GetLE(p + 8),  GetLE(p + 12),
                  GetLE(p + 16), GetLE(p + 20), GetLE(p + 24), GetLE(p + 28)};
    }
}

void EncodeSimHeader(const SimHeader& header, const ByteSink& sink) {
    char head[kSimHeaderBytes];
    PutLE(head, kSimMark);
    PutLE(head + 4, header.setting);
    PutLE(head + 8, header.games);
    sink(head, sizeof head);
}

void EncodeSimRecords(std::span<const GameRecord> records, const ByteSink& sink) {
    if constexpr (std::endian::native == std::endian::little) {
        // The records in memory are the file's bytes.
        const char* p = reinterpret_cast<const char*>(records.data());
        std::size_t left = records.size_bytes();
        while (left > 0) {
            const std::size_t n = std::min(left, kWriteBlock);
            sink(p, n);
            p += n;
            left -= n;
        }
    } else {
        EncodeRecordsPortable(records, sink);
    }
}

void EncodeSim(const SimHeader& header, const PlayHistory& history, const ByteSink& sink) {
    EncodeSimHeader(header, sink);
    EncodeSimRecords(history.records(), sink);
}

SimDecoder::SimDecoder(PlayHistory& out, std::uint64_t recordsHint, std::uint64_t availableBytes)
    : out_(out), recordsHint_(recordsHint), availableBytes_(availableBytes) {}

void SimDecoder::TakeHeaderByte(char c) {
    header_[headerBytes_++] = c;
    if (headerBytes_ == 4) {
        if (GetLE(header_) != kSimMark) {
            rejected_ = true;
            return;
        }
        if (!HistoryFits(static_cast<std::int64_t>(recordsHint_), out_.capacity(), availableBytes_)) {
            rejected_ = tooLarge_ = true;
            return;
        }
        if (availableBytes_) recordLimit_ = out_.capacity() + UsableHistoryBytes(availableBytes_) / kSimRecordBytes;
        out_.clear();
        if (recordsHint_) out_.reserve(recordsHint_);
    }
}

bool SimDecoder::TakeRecords(const char* p, std::size_t records) {
    const std::uint64_t need = out_.size() + records;
    if (need > out_.capacity()) {
        // Beyond what the file's size promised: grow as usual, but never past
        // what memory allows.
        if (need > recordLimit_) {
            rejected_ = tooLarge_ = true;
            out_.release();
            return false;
        }
        out_.reserve(std::min<std::uint64_t>(std::max<std::uint64_t>({16, need, 2 * out_.size()}), recordLimit_));
    }
    GameRecord* dst = out_.extend(records);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(static_cast<void*>(dst), p, records * kSimRecordBytes);
    } else {
        DecodeRecordsPortable(p, records, dst);
    }
    return true;
}

bool SimDecoder::Feed(std::span<const char> bytes) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    while (n > 0 && headerBytes_ < kSimHeaderBytes && !rejected_) {
        TakeHeaderByte(*p++);
        --n;
    }
    if (rejected_) return false;
    if (n == 0) return true;
    if (partialBytes_ > 0) {
        const std::size_t take = std::min(n, kSimRecordBytes - partialBytes_);
        std::memcpy(partial_ + partialBytes_, p, take);
        partialBytes_ += take;
        p += take;
        n -= take;
        if (partialBytes_ < kSimRecordBytes) return true;
        partialBytes_ = 0;
        if (!TakeRecords(partial_, 1)) return false;
    }
    const std::size_t whole = n / kSimRecordBytes;
    if (whole && !TakeRecords(p, whole)) return false;
    partialBytes_ = n - whole * kSimRecordBytes;
    std::memcpy(partial_, p + whole * kSimRecordBytes, partialBytes_);
    return true;
}

SimReadResult SimDecoder::Finish() const {
    SimReadResult r;
    if (rejected_ || headerBytes_ < 4) {
        r.status = tooLarge_ ? SimStatus::TooLarge : SimStatus::NotSimulation;
        return r;
    }
    r.header.setting = headerBytes_ >= 8 ? GetLE(header_ + 4) : 0;
    r.header.games = headerBytes_ >= 12 ? GetLE(header_ + 8) : 0;
    r.status = headerBytes_ < kSimHeaderBytes ? SimStatus::ShortHeader : SimStatus::Ok;
    r.droppedBytes = partialBytes_;
    return r;
}

SimReadResult LoadSimFile(const std::string& path, PlayHistory& out, std::optional<std::uint64_t> availableBytes) {
    std::optional<SimDecoder> decoder;
    ReadInPieces(
        path, kChunkRecords * kSimRecordBytes,
        [&](const PiecesOpened& opened) {
            decoder.emplace(out, SimRecordsIn(opened.regularSize),
                            availableBytes ? *availableBytes : AvailableMemoryBytes());
        },
        [&](std::string_view bytes) {
            return decoder->Feed({bytes.data(), bytes.size()});
        });
    return decoder->Finish();
}

SimReadResult ReadSimFileInPieces(const std::string& path, const SimRecordPiece& records) {
    SimReadResult r;
    char header[kSimHeaderBytes] = {};
    std::size_t headerBytes = 0;
    bool rejected = false;
    // An incomplete record carried from one read to the next, then the
    // records of one read decoded.
    char partial[kSimRecordBytes] = {};
    std::size_t partialBytes = 0;
    std::vector<GameRecord> decoded(kChunkRecords + 1);
    std::uint64_t next = 0;
    ReadInPieces(path, kChunkRecords * kSimRecordBytes, {}, [&](std::string_view bytes) {
        const char* p = bytes.data();
        std::size_t n = bytes.size();
        while (n > 0 && headerBytes < kSimHeaderBytes) {
            header[headerBytes++] = *p++;
            --n;
            if (headerBytes == 4 && GetLE(header) != kSimMark) {
                rejected = true;
                return false;
            }
        }
        std::size_t count = 0;
        if (partialBytes > 0 && n > 0) {
            const std::size_t take = std::min(n, kSimRecordBytes - partialBytes);
            std::memcpy(partial + partialBytes, p, take);
            partialBytes += take;
            p += take;
            n -= take;
            if (partialBytes < kSimRecordBytes) return true;
            DecodeRecordsPortable(partial, 1, decoded.data());
            partialBytes = 0;
            count = 1;
        }
        const std::size_t whole = n / kSimRecordBytes;
        DecodeRecordsPortable(p, whole, decoded.data() + count);
        count += whole;
        partialBytes = n - whole * kSimRecordBytes;
        std::memcpy(partial, p + whole * kSimRecordBytes, partialBytes);
        if (count == 0) return true;
        const std::uint64_t first = next;
        next += count;
        return records(first, {decoded.data(), count});
    });
    if (rejected || headerBytes < 4) return r;
    r.header.setting = headerBytes >= 8 ? GetLE(header + 4) : 0;
    r.header.games = headerBytes >= 12 ? GetLE(header + 8) : 0;
    r.status = headerBytes < kSimHeaderBytes ? SimStatus::ShortHeader : SimStatus::Ok;
    r.droppedBytes = partialBytes;
    return r;
}

void SaveSimFile(const std::string& path, const SimHeader& header, const PlayHistory& history) {
    SaveFileSafely(path, [&](const ByteSink& sink) { EncodeSim(header, history, sink); });
}

}  // namespace morvane
