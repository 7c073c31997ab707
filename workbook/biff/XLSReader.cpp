// The record loop of the BIFF reader: versions, substreams, boundsheets,
// dispatch, custom-view skipping, the records kept as bytes or as defaults,
// and the wrapper that names the failing record.
//
// Files older than BIFF8 are read into the model only: their records have
// other layouts than the BIFF8 records the writer emits, so none of them is
// kept as bytes or as a default, and writing such a workbook back makes a
// clean BIFF8 file from its cells.
#include "workbook/biff/XLSReader.h"

#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/model/WorkbookHooks.h"
#include "workbook/formats/CellText.h"
#include "workbook/model/MemoryPool.h"
#include "workbook/biff/XLSDecrypt.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace workbook {

namespace {

constexpr uint16_t kUsersViewBegin = 0x01AA, kUsersViewEnd = 0x01AB, kUserBView = 0x01A9;
constexpr uint16_t kFilepass = 0x002F, kXCT = 0x0059, kCRN = 0x005A, kIndex = 0x020B, kDBCell = 0x00D7;
constexpr uint16_t kMsoDrawingSelection = 0x00ED;

bool IsBOF(uint16_t id) { return (id & 0xFF) == 0x09 && (id >> 8) <= 0x08; }

// Records of an Excel 5/95 file (and, from older files, the sheet
// protection) whose layout is the same in Excel 97 or is widened to it.
bool KeptFromOlderFile(uint16_t id, TExcelVersion version)
{
    if (id == BIFFRECID_PROTECT) return true;
    if (version < xvExcel50) return false;
    static const uint16_t kSame[] = {0x000C, 0x000D, 0x000E, 0x000F, 0x0010, 0x0011, 0x0019, 0x0022,
                                     0x002A, 0x002B, 0x0040, 0x0055, 0x005F, 0x0080, 0x0081, 0x0082,
                                     0x0083, 0x0084, 0x008D, 0x00A1, 0x0225, 0x023E};
    return std::find(std::begin(kSame), std::end(kSame), id) != std::end(kSame);
}

}  // namespace

TXLSReader::TXLSReader(TXLSWorkbook& owner) : FOwner(owner) {}

TXLSReader::~TXLSReader() = default;

TSheet& TXLSReader::Sheet() const { return FOwner.Sheet(FCurrSheet); }

void TXLSReader::LoadFromStream(const std::vector<uint8_t>* source)
{
    TSlabStockUse stock;
    FSource = source;
    FXLSStream.SetSourceStream(source);
    FXLSStream.SetExtraObjects(&FOwner.ExtraObjects());
    FXLSStream.SetSaveVBA(FOwner.FPreserveMacros);
    TExcelVersion version = FXLSStream.OpenStorageRead(FOwner.Filename());
    FOwner.SetVersion(version);
    FOwner.Sheets().Clear();
    FOwner.SheetNames().clear();
    FOwner.Records().SetDefaultData();
    FOwner.FWriteDefaultData = false;
    if (version < xvExcel97) FOwner.FWriteDefaultData = true;
    CurrRecs = &FOwner.Records();
    PBuf.resize(size_t(FOwner.MaxBuffsize()));
    try {
        ReadRecords();
    } catch (...) {
        FXLSStream.AbandonStorage();
        ReleaseFileOrder();
        throw;
    }
    ReleaseFileOrder();
    if (FSSTTotal) FOwner.SST().SetTotalCount(*FSSTTotal);
    FXLSStream.CloseStorage();
}

// Each string read from the SST holds one reference from its reading; the
// cells hold their own, so strings no cell uses go now.
void TXLSReader::ReleaseFileOrder()
{
    TSST2& sst = FOwner.SST();
    std::vector<TXLSString*> order;
    order.swap(sst.FileOrder());
    for (TXLSString* s : order) sst.Release(s);
}

// A failed read leaves what was read, and at least one sheet.
void ReadBIFFWorkbook(TXLSWorkbook& book)
{
    try {
        TXLSReader reader(book);
        reader.LoadFromStream(nullptr);
    } catch (...) {
        if (book.Sheets().Count() == 0) book.Sheets().Add();
        throw;
    }
}

void ReadBIFFFromMemory(TXLSWorkbook& book, const std::vector<uint8_t>& document)
{
    book.Clear();
    try {
        TXLSReader reader(book);
        reader.LoadFromStream(&document);
    } catch (...) {
        if (book.Sheets().Count() == 0) book.Sheets().Add();
        throw;
    }
    if (book.Sheets().Count() == 0) book.Sheets().Add();
}

void TXLSReader::ReadRecords()
{
    if (OnProgress) OnProgress(0);
    while (!FDone && FXLSStream.ReadHeader(Header) == 4) {
        try {
            if (!ReadBody()) continue;
            Dispatch();
        } catch (const std::exception& e) {
            throw EXLSError(FormatText("Error on reading record # %d, %.4X Offs: %.8X\r", FRecordCount, Header.RecID,
                                       unsigned(FXLSStream.Pos())) +
                            e.what());
        }
        ++FRecordCount;
    }
    if (FOwner.Version() >= xvExcel97 && FOwner.Records().FindRecord(BIFFRECID_EOF) < 0)
        FOwner.Records().UpdateDefault(BIFFRECID_EOF, nullptr);
    if (OnProgress) OnProgress(100);
}

// Reads the body into PBuf; false for records of a custom view, which are
// skipped here without a trace.
bool TXLSReader::ReadBody()
{
    if (Header.Length > PBuf.size())
        PBuf.resize(Header.Length);
    else if (Header.RecID & 0x8000)
        throw EXLSError("Bad record in file");
    if (FXLSStream.Read(PBuf.data(), Header.Length) != Header.Length) throw EXLSError("Unexpected end of file");
    Progress();
    if (Header.RecID == kUsersViewBegin) {
        CustomViewSkip();
        return false;
    }
    return true;
}

void TXLSReader::CustomViewSkip()
{
    TBIFFHeader h;
    while (FXLSStream.ReadHeader(h) == 4) {
        if (h.Length > PBuf.size()) PBuf.resize(h.Length);
        if (FXLSStream.Read(PBuf.data(), h.Length) != h.Length) throw EXLSError("Unexpected end of file");
        if (h.RecID == kUsersViewEnd) break;
    }
    ++FRecordCount;
}

void TXLSReader::Progress()
{
    uint64_t size = FXLSStream.StreamSize();
    if (!OnProgress || size == 0) return;
    int percent = int(std::lround(double(FXLSStream.Pos()) / double(size) * 100.0));
    if (percent > FLastPercent) {
        FLastPercent = percent;
        OnProgress(percent);
    }
}

void TXLSReader::Dispatch()
{
    FInsertRecord = true;
    TRecordView r(PBuf.data(), Header.Length);
    uint16_t id = Header.RecID;
    if (IsBOF(id)) {
        FInsertRecord = false;
        ReadBOF();
        return;
    }
    if (id == BIFFRECID_EOF) {
        FInsertRecord = false;
        FDone = ReadEOF();
        return;
    }
    if (FCurrSheet >= 0 && FInSubstream) {
        DispatchSheet(r);
    } else if (FInGlobals) {
        DispatchGlobals(r);
    } else {
        // Between substreams: nothing belongs to a list here.
        FInsertRecord = false;
    }
    if (FInsertRecord) KeepRaw();
}

void TXLSReader::KeepRaw()
{
    if (FOwner.Version() < xvExcel97) return;
    if (IsEx2007(Header.RecID))
        KeepEx2007();
    else
        CurrRecs->AddRec(Header.RecID | (uint32_t(Header.Length) << 16), PBuf.data());
}

bool TXLSReader::IsEx2007(uint16_t id) const
{
    static const uint16_t kIds[] = {0x0863, 0x087C, 0x087D, 0x088C, 0x088E, 0x0892, 0x0896, 0x089A, 0x089B, 0x08A3};
    for (uint16_t k : kIds)
        if (k == id) return true;
    return false;
}

void TXLSReader::KeepEx2007()
{
    FOwner.Ex2007Records().AddRec(Header.RecID | (uint32_t(Header.Length) << 16), PBuf.data());
}

// A default record replaces the list's default of that type. Older files'
// records have other layouts and are not kept; a repeated default of another
// size than the first keeps the first (the list refuses to resize it).
void TXLSReader::KeepDefault(uint16_t id, const uint8_t* body, size_t length)
{
    FInsertRecord = false;
    std::vector<uint8_t> widened;
    if (FOwner.Version() < xvExcel97) {
        // The end of an older file's substream: its list becomes the defaults.
        if (id == BIFFRECID_EOF) {
            static_cast<TRecordStorageDefault*>(CurrRecs)->MoveAllDefault();
            return;
        }
        if (!KeptFromOlderFile(id, FOwner.Version())) return;
        // The records an older file shares with Excel 97 keep their values
        // (a 1904 date system above all: without it every date moves by
        // four years when the file is written back).
        if (id == BIFFRECID_WINDOW2) {
            widened.assign(body, body + std::min<size_t>(length, 10));
            widened.resize(18, 0);
            body = widened.data();
            length = widened.size();
        }
        if (id == BIFFRECID_DEFCOLWIDTH) length = std::min<size_t>(length, 2);
    }
    struct TMinimum {
        uint16_t Id;
        size_t Length;
    };
    static const TMinimum kMinimum[] = {{BIFFRECID_WINDOW2, 18},    {BIFFRECID_SETUP, 34},
                                        {BIFFRECID_DIMENSIONS, 14}, {BIFFRECID_BOF, 16},
                                        {BIFFRECID_WINDOW1, 18},    {BIFFRECID_WSBOOL, 2},
                                        {BIFFRECID_DEFCOLWIDTH, 2}, {BIFFRECID_DEFAULTROWHEIGHT, 4}};
    for (const TMinimum& m : kMinimum)
        if (m.Id == id && length < m.Length) return;
    try {
        CurrRecs->UpdateDefault(id | (uint32_t(length) << 16), body);
    } catch (const EXLSError&) {
    }
}

void TXLSReader::ReadBOF()
{
    FSharedFormulas.clear();
    TRecordView r(PBuf.data(), Header.Length);
    uint16_t type = Header.Length >= 4 ? r.U16(2) : 0x0010;
    if (FOwner.Version() <= xvExcel21 && Header.RecID == 0x0009) type = 0x0010;
    switch (type) {
    case 0x0005: {
        if (Header.Length > 256) throw EXLSError("Invalid BOF size");
        TakeVersionFromBOF(r);
        if (FOwner.Version() == xvExcel97 && Header.Length >= 12) FOwner.FIsMac = (r.U32(8) & 0x10) != 0;
        FIsXLS137 = Header.Length >= 16 && r.U16(6) == 1998 && r.U32(8) == 0 && r.U32(12) == 6;
        if (Header.Length >= 6) PutU16(PBuf.data() + 4, 6319);
        CurrRecs = &FOwner.Records();
        FInGlobals = true;
        KeepDefault(BIFFRECID_BOF, PBuf.data(), Header.Length);
        break;
    }
    case 0x0010:
    case 0x0006:
    case 0x0040: StartSheet(type); break;
    case 0x0020: SkipChartSubstream(FInSubstream); break;
    case 0x0100: throw EXLSError("BIFF4 Workbook unhandled");
    default: break;
    }
}

// Some programs put a BIFF8 workbook into a "Book" stream or a BIFF5 one
// into "Workbook": the globals BOF's own version decides how to read it.
void TXLSReader::TakeVersionFromBOF(TRecordView r)
{
    if (Header.RecID != BIFFRECID_BOF || r.Size() < 2) return;
    TExcelVersion version = FOwner.Version();
    if (r.U16(0) == 0x0600 && version == xvExcel50) version = xvExcel97;
    if (r.U16(0) == 0x0500 && version == xvExcel97) version = xvExcel50;
    if (version == FOwner.Version()) return;
    FOwner.SetVersion(version);
    FOwner.FWriteDefaultData = version < xvExcel97;
}

void TXLSReader::StartSheet(uint16_t type)
{
    TRecordView r(PBuf.data(), Header.Length);
    ++FBoundsheetIndex;
    ++FCurrSheet;
    TSheet& sheet = FOwner.Sheets().Add();
    sheet.FWorksheetType = type == 0x0006 ? wtVBModule : type == 0x0040 ? wtExcel4Macro : wtSheet;
    sheet.FHasDefaultRecords = true;
    FInSubstream = true;
    FCellDataPlaced = false;
    FPaneSeen = false;
    FHasLastARRAY = false;
    std::u16string name = u"Sheet1";
    if (FOwner.Version() >= xvExcel50 && size_t(FBoundsheetIndex) < FBoundsheets.size()) {
        const TBoundsheet& b = FBoundsheets[size_t(FBoundsheetIndex)];
        name = b.Name;
        sheet.FHidden = THiddenState(b.Hidden <= 2 ? b.Hidden : 0);
    } else if (FCurrSheet > 0) {
        name = u"Sheet" + WidenAscii(std::to_string(FCurrSheet + 1));
    }
    if (!FOwner.Sheets().NameExists(name, &sheet) && !name.empty()) sheet.SetName(name);
    sheet.SetSheetIndex(FCurrSheet);
    FOwner.SheetNames().push_back({name, FCurrSheet});
    CurrRecs = &sheet.Records();
    CurrRecs->Clear();
    CurrRecs->SetDefaultData();
    FBIFFVer = Header.Length >= 16 ? r.U32(12) : 0;
    KeepDefault(BIFFRECID_BOF, PBuf.data(), Header.Length);
}

// A chart substream: a chart sheet at the top level (its name stays in the
// names list; a BIFF8 one is kept whole, so that writing the workbook back
// loses no sheet that the cross-references count), or a chart embedded in a
// sheet, kept as bytes with the sheet's drawing records. Nested substreams
// are followed to their own EOF.
void TXLSReader::SkipChartSubstream(bool embedded)
{
    TChartSheet* chart = nullptr;
    if (embedded) {
        KeepRaw();
    } else {
        ++FBoundsheetIndex;
        TChartSheet sheet;
        if (size_t(FBoundsheetIndex) < FBoundsheets.size()) {
            sheet.Name = FBoundsheets[size_t(FBoundsheetIndex)].Name;
            sheet.Hidden = FBoundsheets[size_t(FBoundsheetIndex)].Hidden;
        }
        FOwner.SheetNames().push_back({sheet.Name, -1});
        sheet.Before = FCurrSheet + 1;
        if (FOwner.Version() == xvExcel97) chart = &FOwner.ChartSheets().emplace_back(std::move(sheet));
    }
    auto keep = [&] {
        if (embedded) KeepRaw();
        if (chart == nullptr) return;
        const uint8_t head[4] = {uint8_t(Header.RecID), uint8_t(Header.RecID >> 8), uint8_t(Header.Length),
                                 uint8_t(Header.Length >> 8)};
        chart->Records.insert(chart->Records.end(), head, head + 4);
        chart->Records.insert(chart->Records.end(), PBuf.data(), PBuf.data() + Header.Length);
    };
    if (chart) keep();  // the BOF
    int depth = 1;
    while (depth > 0 && FXLSStream.ReadHeader(Header) == 4) {
        if (Header.Length > PBuf.size()) PBuf.resize(Header.Length);
        if (FXLSStream.Read(PBuf.data(), Header.Length) != Header.Length) throw EXLSError("Unexpected end of file");
        if (IsBOF(Header.RecID)) ++depth;
        if (Header.RecID == BIFFRECID_EOF) --depth;
        keep();
    }
}

bool TXLSReader::ReadEOF()
{
    FSharedFormulas.clear();
    KeepDefault(BIFFRECID_EOF, nullptr, 0);
    FInSubstream = false;
    FInGlobals = false;
    if (FBoundsheets.empty()) return FCurrSheet >= 0 || FOwner.Version() >= xvExcel50;
    return FBoundsheetIndex + 1 >= int(FBoundsheets.size());
}

void TXLSReader::ReadBoundsheet(TRecordView r)
{
    FInsertRecord = false;
    if (FOwner.Version() >= xvExcel97) CurrRecs->UpdateInternal(INTERNAL_BOUNDSHEETS);
    TBoundsheet b;
    b.Hidden = r.U8(4) & 3;
    b.Name = FOwner.Version() >= xvExcel97 ? UnicodeString(r, 6, 1) : ShortString8(r, 6);
    FBoundsheets.push_back(b);
}

void TXLSReader::ReadFilepass(TRecordView r)
{
    FInsertRecord = false;
    uint16_t type = r.U16(0);
    if (type == 0) throw EXLSError("File encrypted with non-standard key. French?");
    if (type != 1) throw EXLSError("Can not read file, unknown type of encryption.");
    std::unique_ptr<TBIFFDecryptor> decryptor;
    if (FOwner.FPassword.empty()) {
        // A workbook saved with its structure or windows protected is
        // encrypted with a password every spreadsheet program knows and opens
        // without asking; only a real password to open needs one from us.
        try {
            decryptor = TBIFFDecryptor::Create(r.Data(), r.Size(), kDefaultOpenPassword);
        } catch (const EXLSError&) {
        }
        if (!decryptor) throw EXLSError("File is encrypted. Password required.");
    } else {
        decryptor = TBIFFDecryptor::Create(r.Data(), r.Size(), FOwner.FPassword);
        if (!decryptor) throw EXLSError("Invalid password");
    }
    // The copy written back is not encrypted: FILEPASS is not kept.
    FXLSStream.DecryptRest(*decryptor);
}

// XCT and its CRN records: kept as bytes in order, the CRN count checked.
void TXLSReader::ReadXCT(TRecordView r)
{
    KeepRaw();
    FInsertRecord = false;
    int count = std::abs(int(int16_t(r.U16(0))));
    for (int i = 0; i < count; ++i) {
        if (FXLSStream.ReadHeader(Header) < 4 || Header.RecID != kCRN) throw EXLSError("CRN record missing");
        if (Header.Length > PBuf.size()) PBuf.resize(Header.Length);
        if (FXLSStream.Read(PBuf.data(), Header.Length) != Header.Length) throw EXLSError("Unexpected end of file");
        KeepRaw();
    }
}

void TXLSReader::DispatchGlobals(TRecordView r)
{
    uint16_t id = Header.RecID;
    bool biff8 = FOwner.Version() >= xvExcel97;
    switch (id) {
    case BIFFRECID_BOUNDSHEET: ReadBoundsheet(r); break;
    case BIFFRECID_FONT:
    case 0x0231: ReadFont(r); break;
    case BIFFRECID_FORMAT: ReadFormat(r); break;
    case BIFFRECID_XF:
    case 0x0243:
    case 0x0443: ReadXF(r); break;
    case BIFFRECID_STYLE: ReadStyle(r); break;
    case BIFFRECID_PALETTE: ReadPalette(r); break;
    case BIFFRECID_SST: ReadSST(); break;
    case BIFFRECID_EXTSST:
    case kUserBView:
    case kIndex:
    case kDBCell: FInsertRecord = false; break;
    case kFilepass: ReadFilepass(r); break;
    case kXCT: ReadXCT(r); break;
    case BIFFRECID_CODEPAGE:
        FCodepage = r.U16(0);
        KeepDefault(id, r.Data(), r.Size());
        break;
    case BIFFRECID_WRITEACCESS: ReadWriteAccess(r); break;
    case BIFFRECID_BOOKBOOL:
        KeepDefault(id, r.Data(), r.Size());
        if (biff8) CurrRecs->UpdateInternal(INTERNAL_FORMATS);
        break;
    case BIFFRECID_COUNTRY:
        if (!FIsXLS137) KeepDefault(id, r.Data(), r.Size());
        FInsertRecord = false;
        break;
    case BIFFRECID_WSBOOL: break;
    default:
        if (id == BIFFRECID_PROTECT || id == BIFFRECID_FNGROUPCOUNT || id == BIFFRECID_DSF ||
            id == BIFFRECID_PROT4REV || id == BIFFRECID_REFRESHALL || id == BIFFRECID_RECALCID ||
            id == BIFFRECID_WINDOW1 || id == BIFFRECID_PASSWORD || id == BIFFRECID_WINDOWPROTECT ||
            id == BIFFRECID_1904 || id == BIFFRECID_BACKUP || id == BIFFRECID_HIDEOBJ || id == BIFFRECID_PRECISION ||
            id == BIFFRECID_TABID)
            KeepDefault(id, r.Data(), r.Size());
    }
}

}  // namespace workbook
