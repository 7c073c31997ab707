// Reading the shared-string table: the SST record and the CONTINUE records
// after it. Characters split by a CONTINUE restart with an option byte of
// their own (8-bit or UTF-16); runs and phonetic data split without one.
// The unique count read from the file only bounds the loop: every string
// must be present in the records, so a false count fails cleanly.
//
// The records are read in place where the stream holds them as one block,
// and a string that lies wholly inside one record is interned straight from
// the record's bytes; only strings split by a CONTINUE are put together.
#include "workbook/biff/XLSReader.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

namespace workbook {

namespace {

struct TSegment {
    const uint8_t* Data;
    size_t Size;
};

// The SST body and its CONTINUE bodies, read as one sequence of segments.
class TSSTCursor {
public:
    explicit TSSTCursor(std::vector<TSegment> segments) : FSegments(std::move(segments)) {}

    size_t Left() const { return FSegments[FSeg].Size - FPos; }
    const uint8_t* Here() const { return FSegments[FSeg].Data + FPos; }
    void Advance(size_t count) { FPos += count; }
    bool AtEnd() const { return FSeg + 1 >= FSegments.size() && Left() == 0; }

    void NextSegment()
    {
        if (FSeg + 1 >= FSegments.size()) throw EXLSError("CONTINUE record is missing in SST");
        ++FSeg;
        FPos = 0;
    }
    // Bytes that may cross into the next segment without an option byte.
    void Bytes(uint8_t* out, size_t count)
    {
        while (count > 0) {
            if (Left() == 0) NextSegment();
            size_t n = std::min(count, Left());
            std::copy_n(Here(), n, out);
            FPos += n, out += n, count -= n;
        }
    }
    uint8_t U8()
    {
        if (Left() >= 1) return FSegments[FSeg].Data[FPos++];
        uint8_t b;
        Bytes(&b, 1);
        return b;
    }
    uint16_t U16()
    {
        if (Left() >= 2) {
            uint16_t v = GetU16(Here());
            FPos += 2;
            return v;
        }
        uint8_t b[2];
        Bytes(b, 2);
        return GetU16(b);
    }
    uint32_t U32()
    {
        if (Left() >= 4) {
            uint32_t v = GetU32(Here());
            FPos += 4;
            return v;
        }
        uint8_t b[4];
        Bytes(b, 4);
        return GetU32(b);
    }
    // cch characters, in pieces that each start a segment with an option
    // byte; a segment may hold no characters at all.
    std::u16string Characters(size_t cch, bool utf16, bool& anyUtf16)
    {
        std::u16string text;
        text.reserve(std::min(cch, Left() + 1));
        while (text.size() < cch) {
            if (Left() == 0) {
                NextSegment();
                utf16 = U8() & 1;
            }
            size_t want = cch - text.size();
            const uint8_t* p = Here();
            if (utf16) {
                anyUtf16 = true;
                size_t n = std::min(want, Left() / 2);
                if (n == 0) FPos = FSegments[FSeg].Size;  // a lone byte cannot hold a character
                for (size_t i = 0; i < n; ++i) text.push_back(char16_t(GetU16(p + 2 * i)));
                FPos += 2 * n;
            } else {
                size_t n = std::min(want, Left());
                text.append(p, p + n);
                FPos += n;
            }
        }
        return text;
    }
    std::vector<uint8_t> Block(uint64_t count)
    {
        std::vector<uint8_t> out;
        while (count > 0) {
            if (Left() == 0) NextSegment();
            size_t n = size_t(std::min<uint64_t>(count, Left()));
            out.insert(out.end(), Here(), Here() + n);
            FPos += n, count -= n;
        }
        return out;
    }

private:
    std::vector<TSegment> FSegments;
    size_t FSeg = 0;
    size_t FPos = 0;
};

// A string split by a CONTINUE: its characters are joined (widened when any
// piece is UTF-16), its runs and extension data gathered.
TXLSString* AddSplitEntry(TSST2& sst, TSSTCursor& c, uint8_t options, uint16_t cch, uint16_t runCount, uint32_t extLen)
{
    bool anyUtf16 = false;
    std::u16string text = c.Characters(cch, options & sstUTF16, anyUtf16);
    std::vector<uint8_t> runs = c.Block(4ull * runCount);
    std::vector<uint8_t> ext = c.Block(extLen);
    std::vector<uint8_t> chars;
    if (anyUtf16) {
        options |= sstUTF16;
        chars.resize(2 * text.size());
        for (size_t i = 0; i < text.size(); ++i) PutU16(chars.data() + 2 * i, uint16_t(text[i]));
    } else {
        options &= ~sstUTF16;
        chars.assign(text.begin(), text.end());
    }
    return sst.AddRawString(options, cch, chars.data(), runCount, runs.data(), extLen, ext.data());
}

void AddEntry(TSST2& sst, TSSTCursor& c)
{
    uint16_t cch = c.U16();
    uint8_t options = c.U8();
    static const bool kAllowed[16] = {1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
    if (options > 15 || !kAllowed[options])
        throw EXLSError(FormatText("STT: Unhandled string type in Read (%.2X)", options));
    uint16_t runCount = (options & sstFormatted) ? c.U16() : 0;
    uint32_t extLen = (options & sstExtData) ? c.U32() : 0;
    // A string without characters is an 8-bit one, whatever its option byte says.
    if (cch == 0) options &= ~sstUTF16;
    size_t charBytes = (options & sstUTF16) ? 2u * cch : cch;
    TXLSString* entry;
    if (uint64_t(charBytes) + 4u * runCount + extLen <= c.Left()) {
        const uint8_t* p = c.Here();
        entry = sst.AddRawString(options, cch, p, runCount, p + charBytes, extLen, p + charBytes + 4u * runCount);
        c.Advance(charBytes + 4u * runCount + extLen);
    } else {
        entry = AddSplitEntry(sst, c, options, cch, runCount, extLen);
    }
    sst.FileOrder().push_back(entry);
}

// The SST body and the CONTINUE records after it: in place where the stream
// allows, else copied into owned.
std::vector<TSegment> ReadSegments(TXLSStream& stream, const uint8_t* body, size_t length,
                                   std::vector<std::vector<uint8_t>>& owned)
{
    std::vector<TSegment> segments{{body, length}};
    TBIFFHeader h;
    while (stream.PeekHeader() == BIFFRECID_CONTINUE && stream.ReadHeader(h) == 4) {
        if (const uint8_t* p = stream.Peek(h.Length)) {
            segments.push_back({p, h.Length});
            stream.Seek(h.Length, soFromCurrent);
            continue;
        }
        std::vector<uint8_t>& bytes = owned.emplace_back(h.Length);
        if (stream.Read(bytes.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
        segments.push_back({bytes.data(), bytes.size()});
    }
    return segments;
}

}  // namespace

void TXLSReader::ReadSST()
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    CurrRecs->UpdateInternal(INTERNAL_SST);
    std::vector<std::vector<uint8_t>> owned;
    std::vector<TSegment> segments = ReadSegments(FXLSStream, PBuf.data(), Header.Length, owned);
    size_t bytes = 0;
    for (const TSegment& s : segments) bytes += s.Size;
    TSSTCursor c(std::move(segments));
    TSST2& sst = FOwner.SST();
    uint32_t total = c.U32();
    uint32_t unique = c.U32();
    FSSTTotal = total;
    // Every string takes at least 3 bytes, which bounds what a false count can reserve.
    sst.FileOrder().reserve(std::min<size_t>(unique, bytes / 3));
    for (uint32_t i = 0; i < unique && !c.AtEnd(); ++i) AddEntry(sst, c);
}

}  // namespace workbook
