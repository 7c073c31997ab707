// Record lists and their default records.
//
// Placing a default record (UpdateRec): if the main list already holds the
// record, its body is overwritten (same length only); otherwise every default
// still pending up to and including it moves, in default order, to the end of
// the main list, and it takes the incoming body. So a file's records keep
// their order and the defaults missing from the file land before the next
// default the file has (at the latest before EOF).
#include "workbook/biff/RecordStorage.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSStream.h"

#include <algorithm>

namespace workbook {

TRecordData* TBaseRecordStorage::AddRec(uint32_t header, const uint8_t* data)
{
    auto rec = std::make_unique<TRecordData>();
    rec->RecId = uint16_t(header & 0xFFFF);
    uint16_t length = uint16_t(header >> 16);
    if (length) rec->Data.assign(data, data + length);
    FItems.push_back(std::move(rec));
    return FItems.back().get();
}

int TBaseRecordStorage::FindRecord(uint16_t recId) const
{
    for (size_t i = 0; i < FItems.size(); ++i)
        if (FItems[i]->RecId == recId) return int(i);
    return -1;
}

void TBaseRecordStorage::WriteRec(int index, TXLSStream& stream) const
{
    const TRecordData& r = *FItems[size_t(index)];
    stream.WriteBufHeader(r.Data.data(), r.RecId, r.Length());
}

void TBaseRecordStorage::WriteAllRecs(TXLSStream& stream) const
{
    for (int i = 0; i < Count(); ++i) WriteRec(i, stream);
}

void TBaseRecordStorage::Clear() { FItems.clear(); }

void TBaseRecordStorage::ReadUntilEOF(TXLSStream& stream, std::vector<uint8_t>& buffer)
{
    TBIFFHeader header;
    while (stream.ReadHeader(header) == 4) {
        buffer.resize(std::max<size_t>(buffer.size(), header.Length));
        if (stream.Read(buffer.data(), header.Length) != header.Length) throw EXLSError("Unexpected end of file");
        AddRec(header.RecID | (uint32_t(header.Length) << 16), buffer.data());
        if (header.RecID == BIFFRECID_EOF) break;
    }
}

void TBaseRecordStorage::Assign(const TBaseRecordStorage& source)
{
    Clear();
    for (const auto& r : source.FItems)
        FItems.push_back(std::make_unique<TRecordData>(TRecordData{r->RecId, r->Data, -1}));
}

uint64_t TBaseRecordStorage::TotalSize() const
{
    uint64_t total = 0;
    for (const auto& r : FItems) total += r->Length() + 4u;
    return total;
}

void TRecordStorageDefault::SetDefaultData()
{
    Clear();
    for (TDefaultRecord& d : DefaultRecords()) {
        auto rec = std::make_unique<TRecordData>();
        rec->RecId = d.RecId;
        rec->Data = std::move(d.Body);
        rec->DefaultSlot = int(FDefault.size());
        FRefs.push_back(rec.get());
        FDefault.push_back(std::move(rec));
    }
}

void TRecordStorageDefault::Clear()
{
    TBaseRecordStorage::Clear();
    FDefault.clear();
    FRefs.clear();
}

int TRecordStorageDefault::SlotOf(uint16_t recId) const
{
    for (size_t i = 0; i < FRefs.size(); ++i)
        if (FRefs[i]->RecId == recId) return int(i);
    return -1;
}

void TRecordStorageDefault::UpdateRec(int slot, uint16_t length, const uint8_t* data)
{
    TRecordData* rec = FRefs[size_t(slot)];
    if (!FDefault[size_t(slot)]) {
        if (rec->Length() != length) throw EXLSError(FormatText("Size missmatch on default record %.4X", rec->RecId));
        if (length) std::copy(data, data + length, rec->Data.begin());
        return;
    }
    for (int k = 0; k <= slot; ++k) {
        if (!FDefault[size_t(k)]) continue;
        FItems.push_back(std::move(FDefault[size_t(k)]));
    }
    if (!IsPlaceholder(rec->RecId)) rec->Data.assign(data, data + length);
}

void TRecordStorageDefault::UpdateInternal(uint16_t id)
{
    int slot = SlotOf(id);
    if (slot < 0) throw EXLSError(FormatText("Excpected default record %.4X not found.", id));
    UpdateRec(slot, 0, nullptr);
}

void TRecordStorageDefault::MoveAllDefault()
{
    for (auto& item : FItems)
        if (item->DefaultSlot >= 0) FDefault[size_t(item->DefaultSlot)] = std::move(item);
    FItems.clear();
    for (auto& d : FDefault) FItems.push_back(std::move(d));
}

namespace {

std::vector<uint8_t> Word(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }

std::vector<uint8_t> Bof(uint16_t dt)
{
    TByteWriter w;
    w.U16(0x0600);
    w.U16(dt);
    w.U16(0x18AF);
    w.U16(0x07CD);
    w.U32(0x80C9);
    w.U32(0x0106);
    return w.Data();
}

std::vector<uint8_t> WriteAccessBody(const std::u16string& name)
{
    std::vector<uint8_t> body(112, 0x20);
    size_t count = std::min<size_t>(name.size(), 52);
    body[0] = uint8_t(count);
    body[1] = 0;
    body[2] = 1;
    for (size_t i = 0; i < count; ++i) PutU16(body.data() + 3 + 2 * i, name[i]);
    const char trailer[] = "40062";
    std::copy(trailer, trailer + 5, body.begin() + 107);
    return body;
}

}  // namespace

std::vector<TDefaultRecord> TRecordStorageGlobals::DefaultRecords() const
{
    TByteWriter window1;
    for (uint16_t v : {100, 100, 10000, 7000, 0x0038, 0, 0, 1, 600}) window1.U16(v);
    return {
        {BIFFRECID_BOF, Bof(0x0005)},
        {BIFFRECID_WRITEACCESS, WriteAccessBody(u"")},
        {BIFFRECID_CODEPAGE, Word(1200)},
        {BIFFRECID_DSF, Word(0)},
        {BIFFRECID_TABID, {}},
        {BIFFRECID_FNGROUPCOUNT, Word(14)},
        {BIFFRECID_WINDOWPROTECT, Word(0)},
        {BIFFRECID_PROTECT, Word(0)},
        {BIFFRECID_PASSWORD, Word(0)},
        {BIFFRECID_PROT4REV, Word(0)},
        {BIFFRECID_WINDOW1, window1.Data()},
        {BIFFRECID_BACKUP, Word(0)},
        {BIFFRECID_HIDEOBJ, Word(0)},
        {BIFFRECID_1904, Word(0)},
        {BIFFRECID_PRECISION, Word(1)},
        {BIFFRECID_REFRESHALL, Word(0)},
        {BIFFRECID_BOOKBOOL, Word(0)},
        {INTERNAL_FORMATS, {}},
        {INTERNAL_BOUNDSHEETS, {}},
        {BIFFRECID_COUNTRY, {1, 0, 46, 0}},
        {BIFFRECID_RECALCID, {0xC1, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0}},
        {INTERNAL_NAMES, {}},
        {INTERNAL_MSODRWGRP, {}},
        {INTERNAL_SST, {}},
        {BIFFRECID_EOF, {}},
    };
}

void TRecordStorageGlobals::UpdateDefault(uint32_t header, const uint8_t* data)
{
    uint16_t id = uint16_t(header & 0xFFFF);
    if ((id & 0xFF) == 0x09) id = BIFFRECID_BOF;
    static const uint16_t placed[] = {0x000A, 0x000E, 0x0012, 0x0013, 0x0019, 0x0022, 0x003D, 0x0040, 0x0042, 0x005C,
                                      0x008C, 0x008D, 0x009C, 0x00DA, 0x013D, 0x0161, 0x01AF, 0x01B7, 0x01C1, 0x0809};
    if (std::find(std::begin(placed), std::end(placed), id) == std::end(placed)) return;
    int slot = SlotOf(id);
    if (slot < 0) throw EXLSError(FormatText("Excpected default record %.4X not found.", id));
    UpdateRec(slot, uint16_t(header >> 16), data);
}

void TRecordStorageGlobals::SetUserName(const std::u16string& name) { PWRITEACCESS()->Data = WriteAccessBody(name); }

std::u16string TRecordStorageGlobals::UserName() const
{
    const auto& d = PWRITEACCESS()->Data;
    if (d.size() < 3) return {};
    size_t count = GetU16(d.data());
    bool wide = d[2] & 1;
    std::u16string name;
    for (size_t i = 0; i < count && 3 + (i + 1) * (wide ? 2 : 1) <= d.size(); ++i)
        name += wide ? char16_t(GetU16(d.data() + 3 + 2 * i)) : char16_t(d[3 + i]);
    size_t first = name.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    return name.substr(first, name.find_last_not_of(u' ') - first + 1);
}

std::vector<TDefaultRecord> TRecordStorageSheet::DefaultRecords() const
{
    TByteWriter setup;
    for (uint16_t v : {0, 100, 1, 1, 1, 0x06B6, 600, 600}) setup.U16(v);
    setup.F64(0.5);
    setup.F64(0.5);
    setup.U16(0);
    TByteWriter window2;
    for (uint16_t v : {0x04B6, 0, 0}) window2.U16(v);
    window2.U32(64);
    window2.U16(0);
    window2.U16(0);
    window2.U32(0);
    return {
        {BIFFRECID_BOF, Bof(0x0010)},
        {BIFFRECID_CALCMODE, Word(1)},
        {BIFFRECID_CALCCOUNT, Word(100)},
        {BIFFRECID_REFMODE, Word(1)},
        {BIFFRECID_ITERATION, Word(0)},
        {BIFFRECID_DELTA, {0xFC, 0xA9, 0xF1, 0xD2, 0x4D, 0x62, 0x50, 0x3F}},
        {BIFFRECID_SAVERECALC, Word(1)},
        {BIFFRECID_PRINTGRIDLINES, Word(0)},
        {BIFFRECID_PRINTHEADERS, Word(0)},
        {BIFFRECID_GRIDSET, Word(1)},
        {BIFFRECID_GUTS, std::vector<uint8_t>(8, 0)},
        {BIFFRECID_DEFAULTROWHEIGHT, {0, 0, 0xFF, 0}},
        {BIFFRECID_WSBOOL, Word(0x04C1)},
        {INTERNAL_PAGEBREAKES, {}},
        {INTERNAL_HEADER, {}},
        {INTERNAL_MARGINS, {}},
        {BIFFRECID_HCENTER, Word(0)},
        {BIFFRECID_VCENTER, Word(0)},
        {BIFFRECID_SETUP, setup.Data()},
        {BIFFRECID_PROTECT, Word(0)},
        {BIFFRECID_DEFCOLWIDTH, Word(8)},
        {BIFFRECID_DIMENSIONS, std::vector<uint8_t>(14, 0)},
        {INTERNAL_COLINFO, {}},
        {INTERNAL_CELLDATA, {}},
        {BIFFRECID_WINDOW2, window2.Data()},
        {INTERNAL_SUFFIXDATA, {}},
        {BIFFRECID_EOF, {}},
    };
}

void TRecordStorageSheet::UpdateDefault(uint32_t header, const uint8_t* data)
{
    uint16_t id = uint16_t(header & 0xFFFF);
    if ((id & 0xFF) == 0x09) id = BIFFRECID_BOF;
    static const uint16_t placed[] = {0x000A, 0x000C, 0x000D, 0x000F, 0x0010, 0x0011, 0x0012,
                                      0x002A, 0x002B, 0x0055, 0x005F, 0x0080, 0x0081, 0x0082,
                                      0x0083, 0x0084, 0x00A1, 0x0200, 0x0225, 0x023E, 0x0809};
    if (std::find(std::begin(placed), std::end(placed), id) == std::end(placed)) return;
    int slot = SlotOf(id);
    if (slot < 0) throw EXLSError(FormatText("Excpected default record %.4X not found.", id));
    UpdateRec(slot, uint16_t(header >> 16), data);
}

}  // namespace workbook
