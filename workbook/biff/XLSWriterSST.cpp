// The SST record with its CONTINUE records, and EXTSST. Strings are written
// in trie order; a record is closed when 15 bytes or fewer are left before a
// string, or when a string's characters, runs or extension data do not fit.
// UTF-16 characters are never cut in two, and a continued character part
// starts with its option byte. A record's body is gathered in memory and
// written with its length once it is closed.
#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/biff/XLSWriter.h"

#include <cstring>

namespace workbook {

namespace {

constexpr size_t kMinRoomForString = 15;

struct TExtSSTEntry {
    uint32_t Pos;
    uint16_t Offset;
};

// Gathers the SST record being filled so it can be closed and continued.
class TSSTRecordWriter {
public:
    TSSTRecordWriter(TXLSStream& stream, size_t maxBody) : FStream(stream), FBody(maxBody) {}

    void Begin(uint16_t recId)
    {
        FRecId = recId;
        FRecStart = FStream.Pos();
        FUsed = 0;
    }
    void End() { FStream.WriteBufHeader(FBody.data(), FRecId, uint16_t(FUsed)); }
    void Continue()
    {
        End();
        Begin(BIFFRECID_CONTINUE);
    }
    void Put(const void* p, size_t n)
    {
        std::memcpy(FBody.data() + FUsed, p, n);
        FUsed += n;
    }
    size_t Room() const { return FBody.size() - FUsed; }
    uint64_t RecStart() const { return FRecStart; }
    // Stream position of the next byte put.
    uint64_t Pos() const { return FRecStart + 4 + FUsed; }

private:
    TXLSStream& FStream;
    std::vector<uint8_t> FBody;
    size_t FUsed = 0;
    uint16_t FRecId = 0;
    uint64_t FRecStart = 0;
};

void PutCharacters(TSSTRecordWriter& rec, const TXLSString& s)
{
    const uint8_t* p = s.Chars();
    size_t left = s.CharBytes();
    bool wide = s.Options & sstUTF16;
    for (;;) {
        size_t n = std::min(left, rec.Room());
        if (wide && (left - n) % 2 != 0) --n;
        rec.Put(p, n);
        p += n;
        left -= n;
        if (left == 0) return;
        rec.Continue();
        uint8_t option = wide ? 1 : 0;
        rec.Put(&option, 1);
    }
}

void PutRunsAndExt(TSSTRecordWriter& rec, const TXLSString& s)
{
    for (int k = 0; k < s.RunCount; ++k) {
        if (rec.Room() < 4) rec.Continue();
        rec.Put(s.Runs() + 4 * k, 4);
    }
    const uint8_t* p = s.Ext();
    for (size_t left = s.ExtLen; left > 0;) {
        if (rec.Room() == 0) rec.Continue();
        size_t n = std::min(left, rec.Room());
        rec.Put(p, n);
        p += n;
        left -= n;
    }
}

void PutStringHeader(TSSTRecordWriter& rec, const TXLSString& s)
{
    uint8_t h[9];
    size_t n = 0;
    PutU16(h, s.Len);
    h[2] = s.Options;
    n = 3;
    if (s.Options & sstFormatted) {
        PutU16(h + n, s.RunCount);
        n += 2;
    }
    if (s.Options & sstExtData) {
        PutU32(h + n, s.ExtLen);
        n += 4;
    }
    rec.Put(h, n);
}

}  // namespace

void TXLSWriter::WriteSST()
{
    TSST2& sst = FXLS.SST();
    if (!sst.Fonts()) throw EXLSError("Can not write SST when FFonts = Nil");
    uint32_t unique = sst.UniqueCount();
    uint32_t bucket = unique / 1027 < 7 ? 8 : unique / 1027 + 1;
    TSSTRecordWriter rec(FXLSStream, size_t(sst.MaxBufSize()));
    rec.Begin(BIFFRECID_SST);
    uint64_t uniquePos = rec.Pos() + 4;
    uint8_t head[8];
    PutU32(head, sst.TotalCount());
    PutU32(head + 4, 0);
    rec.Put(head, 8);
    std::vector<TExtSSTEntry> ext;
    uint32_t k = 0;
    sst.Traverse([&](TXLSString* s) {
        static const bool kAllowed[16] = {1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
        if (s->Options > 15 || !kAllowed[s->Options])
            throw EXLSError(FormatText("STT: Unhandled string type in Write (%.2X) # %u", s->Options, k));
        if (rec.Room() <= kMinRoomForString) rec.Continue();
        if (k % bucket == 0) {
            uint64_t pos = rec.Pos();
            ext.push_back({uint32_t(pos), uint16_t(pos - rec.RecStart())});
        }
        s->Index = k++;
        PutStringHeader(rec, *s);
        PutCharacters(rec, *s);
        PutRunsAndExt(rec, *s);
    });
    rec.End();
    FXLSStream.Seek(int64_t(uniquePos), soFromBeginning);
    FXLSStream.WLWord(k);
    FXLSStream.Seek(0, soFromEnd);

    TByteWriter w;
    w.U16(uint16_t(bucket));
    for (const TExtSSTEntry& e : ext) {
        w.U32(e.Pos);
        w.U16(e.Offset);
        w.U16(0);
    }
    Rec(BIFFRECID_EXTSST, w.Data());
}

}  // namespace workbook
