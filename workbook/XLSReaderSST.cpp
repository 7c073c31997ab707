// Reading the shared-string table: the SST record and the CONTINUE records
// after it. Characters split by a CONTINUE restart with an option byte of
// their own (8-bit or UTF-16); runs and phonetic data split without one.
// The unique count read from the file only bounds the loop: every string
// must be present in the records, so a false count fails cleanly.
#include "workbook/XLSReader.h"

#include "workbook/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/XLSWorkbook.h"

namespace workbook {

namespace {

// The SST body and its CONTINUE bodies, read as one sequence of segments.
class TSSTCursor {
public:
    explicit TSSTCursor(std::vector<std::vector<uint8_t>> segments) : FSegments(std::move(segments)) {}

    size_t Left() const { return FSegments[FSeg].size() - FPos; }
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
            std::copy_n(FSegments[FSeg].data() + FPos, n, out);
            FPos += n, out += n, count -= n;
        }
    }
    uint8_t U8()
    {
        uint8_t b;
        Bytes(&b, 1);
        return b;
    }
    uint16_t U16()
    {
        uint8_t b[2];
        Bytes(b, 2);
        return GetU16(b);
    }
    uint32_t U32()
    {
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
            const uint8_t* p = FSegments[FSeg].data() + FPos;
            if (utf16) {
                anyUtf16 = true;
                size_t n = std::min(want, Left() / 2);
                if (n == 0) FPos = FSegments[FSeg].size();  // a lone byte cannot hold a character
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
    void Skip(uint64_t count)
    {
        while (count > 0) {
            if (Left() == 0) NextSegment();
            size_t n = size_t(std::min<uint64_t>(count, Left()));
            FPos += n, count -= n;
        }
    }
    std::vector<uint8_t> Block(uint64_t count)
    {
        std::vector<uint8_t> out;
        while (count > 0) {
            if (Left() == 0) NextSegment();
            size_t n = size_t(std::min<uint64_t>(count, Left()));
            out.insert(out.end(), FSegments[FSeg].data() + FPos, FSegments[FSeg].data() + FPos + n);
            FPos += n, count -= n;
        }
        return out;
    }

private:
    std::vector<std::vector<uint8_t>> FSegments;
    size_t FSeg = 0;
    size_t FPos = 0;
};

void AddEntry(TSST2& sst, TSSTCursor& c)
{
    uint16_t cch = c.U16();
    uint8_t options = c.U8();
    static const bool kAllowed[16] = {1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
    if (options > 15 || !kAllowed[options])
        throw EXLSError(FormatText("STT: Unhandled string type in Read (%.2X)", options));
    uint16_t runCount = (options & sstFormatted) ? c.U16() : 0;
    uint32_t extLen = (options & sstExtData) ? c.U32() : 0;
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
    TXLSString* entry =
        sst.AddRawString(options, cch, chars.data(), runCount, runs.data(), extLen, ext.data());
    sst.FileOrder().push_back(entry);
}

}  // namespace

void TXLSReader::ReadSST()
{
    FInsertRecord = false;
    if (FOwner.Version() < xvExcel97) return;
    CurrRecs->UpdateInternal(INTERNAL_SST);
    std::vector<std::vector<uint8_t>> segments;
    segments.emplace_back(PBuf.data(), PBuf.data() + Header.Length);
    TBIFFHeader h;
    while (FXLSStream.PeekHeader() == BIFFRECID_CONTINUE && FXLSStream.ReadHeader(h) == 4) {
        std::vector<uint8_t> body(h.Length);
        if (FXLSStream.Read(body.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
        segments.push_back(std::move(body));
    }
    TSSTCursor c(std::move(segments));
    TSST2& sst = FOwner.SST();
    uint32_t total = c.U32();
    uint32_t unique = c.U32();
    sst.SetTotalCount(total);
    for (uint32_t i = 0; i < unique && !c.AtEnd(); ++i) AddEntry(sst, c);
}

}  // namespace workbook
