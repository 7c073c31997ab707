// Serialising the tree as a version 3 compound document. Layout, in sector
// order: regular streams, the mini stream, the mini FAT, the directory, the
// FAT, then DIFAT sectors when more than 109 FAT sectors are needed. Every
// storage's children form a balanced sibling tree coloured as a valid
// red-black tree (all levels black, an incomplete last level red).
#include "workbook/ByteOrder.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/compound/CompoundFormat.h"
#include "workbook/SafeFile.h"
#include "workbook/XLSError.h"

namespace workbook {

using namespace cfb;

namespace {

constexpr uint32_t kSector = 512;
constexpr uint32_t kPerFatSector = kSector / 4;

uint32_t SectorsFor(uint64_t bytes, uint32_t unit) { return uint32_t((bytes + unit - 1) / unit); }

struct TDirRecord {
    const TCompoundEntry* Entry = nullptr;
    uint32_t Left = NOSTREAM, Right = NOSTREAM, Child = NOSTREAM;
    uint8_t Color = 1;  // 0 red, 1 black
    uint32_t Start = ENDOFCHAIN;
    uint64_t Size = 0;
};

class TCompoundWriter {
public:
    explicit TCompoundWriter(const TCompoundEntry& root);
    void Emit(const TByteSink& sink);

private:
    void Flatten(const TCompoundEntry& root);
    uint32_t Balance(const std::vector<uint32_t>& ids, size_t lo, size_t hi, int depth, int redDepth);
    void PlaceStreams();
    void SizeFat();
    void EmitHeader(const TByteSink& sink) const;
    void EmitStreams(const TByteSink& sink, bool mini) const;
    void EmitMiniFat(const TByteSink& sink) const;
    void EmitDirectory(const TByteSink& sink) const;
    void EmitFat(const TByteSink& sink) const;
    void EmitDifat(const TByteSink& sink) const;

    std::vector<TDirRecord> FDir;
    uint32_t FBigSectors = 0, FMiniSectors = 0;
    uint32_t FMiniStreamStart = ENDOFCHAIN, FMiniStreamSectors = 0;
    uint32_t FMiniFatStart = ENDOFCHAIN, FMiniFatSectors = 0;
    uint32_t FDirStart = 0, FDirSectors = 0;
    uint32_t FFatStart = 0, FFatSectors = 0, FDifatStart = ENDOFCHAIN, FDifatSectors = 0;
};

TCompoundWriter::TCompoundWriter(const TCompoundEntry& root)
{
    Flatten(root);
    PlaceStreams();
    SizeFat();
}

// Directory order: the root, then each storage's children together, storage
// by storage in breadth-first order.
void TCompoundWriter::Flatten(const TCompoundEntry& root)
{
    FDir.push_back({&root});
    for (size_t i = 0; i < FDir.size(); ++i) {
        const TCompoundEntry& storage = *FDir[i].Entry;
        if (!storage.IsStorage() || storage.Children.empty()) continue;
        std::vector<uint32_t> ids;
        for (const auto& child : storage.Children) {
            ids.push_back(uint32_t(FDir.size()));
            FDir.push_back({child.get()});
        }
        int depth = 0;
        while ((size_t(2) << depth) - 1 < ids.size()) ++depth;
        bool perfect = (size_t(2) << depth) - 1 == ids.size();
        FDir[i].Child = Balance(ids, 0, ids.size(), 0, perfect ? -1 : depth);
    }
}

uint32_t TCompoundWriter::Balance(const std::vector<uint32_t>& ids, size_t lo, size_t hi, int depth, int redDepth)
{
    if (lo >= hi) return NOSTREAM;
    size_t mid = lo + (hi - lo) / 2;
    TDirRecord& r = FDir[ids[mid]];
    r.Color = depth == redDepth ? 0 : 1;
    r.Left = Balance(ids, lo, mid, depth + 1, redDepth);
    r.Right = Balance(ids, mid + 1, hi, depth + 1, redDepth);
    return ids[mid];
}

void TCompoundWriter::PlaceStreams()
{
    for (TDirRecord& r : FDir) {
        if (r.Entry->Type != TEntryType::Stream) continue;
        r.Size = r.Entry->Data.Size();
        if (r.Size == 0) continue;
        if (r.Size >= kMiniStreamCutoff) {
            r.Start = FBigSectors;
            FBigSectors += SectorsFor(r.Size, kSector);
        } else {
            r.Start = FMiniSectors;
            FMiniSectors += SectorsFor(r.Size, kMiniSectorSize);
        }
    }
    uint32_t next = FBigSectors;
    FMiniStreamSectors = SectorsFor(uint64_t(FMiniSectors) * kMiniSectorSize, kSector);
    if (FMiniStreamSectors) FMiniStreamStart = next;
    next += FMiniStreamSectors;
    FMiniFatSectors = SectorsFor(uint64_t(FMiniSectors) * 4, kSector);
    if (FMiniFatSectors) FMiniFatStart = next;
    next += FMiniFatSectors;
    FDirStart = next;
    FDirSectors = SectorsFor(uint64_t(FDir.size()) * kDirEntrySize, kSector);
    FFatStart = next + FDirSectors;
    FDir[0].Start = FMiniStreamStart;
    FDir[0].Size = uint64_t(FMiniSectors) * kMiniSectorSize;
}

// The FAT must also cover its own sectors and the DIFAT's; grow until stable.
void TCompoundWriter::SizeFat()
{
    uint32_t data = FFatStart;
    for (;;) {
        uint32_t fat = SectorsFor(uint64_t(data) + FFatSectors + FDifatSectors, kPerFatSector);
        uint32_t difat = fat > kHeaderDifatCount ? SectorsFor(fat - kHeaderDifatCount, kPerFatSector - 1) : 0;
        if (fat == FFatSectors && difat == FDifatSectors) break;
        FFatSectors = fat;
        FDifatSectors = difat;
    }
    if (FDifatSectors) FDifatStart = FFatStart + FFatSectors;
}

void TCompoundWriter::EmitHeader(const TByteSink& sink) const
{
    uint8_t h[kHeaderSize] = {};
    std::copy(kSignature, kSignature + 8, h);
    PutU16(h + kOffMinor, kMinorVersion);
    PutU16(h + kOffMajor, 3);
    PutU16(h + kOffByteOrder, kByteOrder);
    PutU16(h + kOffSectorShift, 9);
    PutU16(h + kOffMiniShift, 6);
    PutU32(h + kOffFatSectors, FFatSectors);
    PutU32(h + kOffFirstDir, FDirStart);
    PutU32(h + kOffCutoff, kMiniStreamCutoff);
    PutU32(h + kOffFirstMiniFat, FMiniFatStart);
    PutU32(h + kOffMiniFatSectors, FMiniFatSectors);
    PutU32(h + kOffFirstDifat, FDifatStart);
    PutU32(h + kOffDifatSectors, FDifatSectors);
    for (uint32_t i = 0; i < kHeaderDifatCount; ++i)
        PutU32(h + kOffDifat + 4 * i, i < FFatSectors ? FFatStart + i : FREESECT);
    sink(h, sizeof h);
}

void Pad(const TByteSink& sink, uint64_t written, uint32_t unit)
{
    static const uint8_t zeros[kSector] = {};
    if (written % unit) sink(zeros, unit - written % unit);
}

void TCompoundWriter::EmitStreams(const TByteSink& sink, bool mini) const
{
    uint64_t total = 0;
    for (const TDirRecord& r : FDir) {
        if (r.Entry->Type != TEntryType::Stream || r.Size == 0 || (r.Size < kMiniStreamCutoff) != mini) continue;
        r.Entry->Data.ForEachPiece([&](const uint8_t* p, size_t n) { sink(p, n); });
        Pad(sink, r.Size, mini ? kMiniSectorSize : kSector);
        total += SectorsFor(r.Size, mini ? kMiniSectorSize : kSector) * uint64_t(mini ? kMiniSectorSize : kSector);
    }
    Pad(sink, total, kSector);
}

// Writes a table of sector links: each run of 'count' sectors chained in order.
class TLinkTable {
public:
    void Run(uint32_t start, uint32_t count)
    {
        for (uint32_t i = 0; i < count; ++i) FLinks.push_back(i + 1 < count ? start + i + 1 : ENDOFCHAIN);
    }
    void Mark(uint32_t count, uint32_t value) { FLinks.insert(FLinks.end(), count, value); }
    void Emit(const TByteSink& sink, uint32_t entries) const
    {
        std::vector<uint8_t> bytes(size_t(entries) * 4, 0xFF);
        for (size_t i = 0; i < FLinks.size(); ++i) PutU32(bytes.data() + 4 * i, FLinks[i]);
        sink(bytes.data(), bytes.size());
    }

private:
    std::vector<uint32_t> FLinks;
};

void TCompoundWriter::EmitMiniFat(const TByteSink& sink) const
{
    if (!FMiniFatSectors) return;
    TLinkTable table;
    for (const TDirRecord& r : FDir)
        if (r.Entry->Type == TEntryType::Stream && r.Size > 0 && r.Size < kMiniStreamCutoff)
            table.Run(r.Start, SectorsFor(r.Size, kMiniSectorSize));
    table.Emit(sink, FMiniFatSectors * kPerFatSector);
}

void TCompoundWriter::EmitDirectory(const TByteSink& sink) const
{
    std::vector<uint8_t> bytes(size_t(FDirSectors) * kSector, 0);
    for (size_t i = 0; i < FDirSectors * (kSector / kDirEntrySize); ++i) {
        uint8_t* d = bytes.data() + i * kDirEntrySize;
        PutU32(d + kEntLeft, NOSTREAM);
        PutU32(d + kEntRight, NOSTREAM);
        PutU32(d + kEntChild, NOSTREAM);
        if (i >= FDir.size()) continue;
        const TDirRecord& r = FDir[i];
        const TCompoundEntry& e = *r.Entry;
        for (size_t k = 0; k < e.Name.size() && k < 31; ++k) PutU16(d + 2 * k, e.Name[k]);
        PutU16(d + kEntNameLen, uint16_t(2 * (std::min<size_t>(e.Name.size(), 31) + 1)));
        d[kEntType] = uint8_t(i == 0 ? TEntryType::Root : e.Type);
        d[kEntColor] = i == 0 ? 1 : r.Color;
        PutU32(d + kEntLeft, r.Left);
        PutU32(d + kEntRight, r.Right);
        PutU32(d + kEntChild, r.Child);
        std::copy(e.Clsid.begin(), e.Clsid.end(), d + kEntClsid);
        PutU32(d + kEntState, e.StateBits);
        if (e.Type == TEntryType::Stream) {
            PutU64(d + kEntCreated, e.CreationTime);
            PutU64(d + kEntModified, e.ModifiedTime);
        }
        PutU32(d + kEntStart, e.IsStorage() && i != 0 ? 0 : r.Start);
        PutU64(d + kEntSize, r.Size);
    }
    sink(bytes.data(), bytes.size());
}

void TCompoundWriter::EmitFat(const TByteSink& sink) const
{
    TLinkTable fat;
    for (const TDirRecord& r : FDir)
        if (r.Entry->Type == TEntryType::Stream && r.Size >= kMiniStreamCutoff)
            fat.Run(r.Start, SectorsFor(r.Size, kSector));
    fat.Run(FMiniStreamStart, FMiniStreamSectors);
    fat.Run(FMiniFatStart, FMiniFatSectors);
    fat.Run(FDirStart, FDirSectors);
    fat.Mark(FFatSectors, FATSECT);
    fat.Mark(FDifatSectors, DIFSECT);
    fat.Emit(sink, FFatSectors * kPerFatSector);
}

void TCompoundWriter::EmitDifat(const TByteSink& sink) const
{
    uint32_t listed = kHeaderDifatCount;
    for (uint32_t k = 0; k < FDifatSectors; ++k) {
        uint8_t s[kSector];
        for (uint32_t i = 0; i < kPerFatSector - 1; ++i, ++listed)
            PutU32(s + 4 * i, listed < FFatSectors ? FFatStart + listed : FREESECT);
        PutU32(s + kSector - 4, k + 1 < FDifatSectors ? FDifatStart + k + 1 : ENDOFCHAIN);
        sink(s, sizeof s);
    }
}

void TCompoundWriter::Emit(const TByteSink& sink)
{
    EmitHeader(sink);
    EmitStreams(sink, false);
    EmitStreams(sink, true);
    EmitMiniFat(sink);
    EmitDirectory(sink);
    EmitFat(sink);
    EmitDifat(sink);
}

}  // namespace

std::vector<uint8_t> TCompoundDocument::SaveToMemory() const
{
    std::vector<uint8_t> out;
    TCompoundWriter(*FRoot).Emit([&](const void* p, size_t n) {
        out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
    });
    return out;
}

void TCompoundDocument::SaveToFile(const std::filesystem::path& path) const
{
    TCompoundWriter writer(*FRoot);
    ReplaceFileAtomically(path, [&](const TByteSink& sink) { writer.Emit(sink); });
}

}  // namespace workbook
