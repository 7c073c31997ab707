// Records made from the model's formats and sheet settings: FONT, FORMAT,
// XF, STYLE, PALETTE, page breaks, HEADER/FOOTER, margins, COLINFO, ROW and
// the sheet's trailing records.
#include "workbook/biff/BIFFRecords.h"
#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"
#include "workbook/biff/XLSWriter.h"

namespace workbook {

namespace {

// The built-in styles: Comma, Comma [0], Currency, Currency [0], Normal, Percent.
const std::vector<std::vector<uint8_t>> kDefaultStyles = {{0x10, 0x80, 0x03, 0xFF}, {0x11, 0x80, 0x06, 0xFF},
                                                          {0x12, 0x80, 0x04, 0xFF}, {0x13, 0x80, 0x07, 0xFF},
                                                          {0x00, 0x80, 0x00, 0xFF}, {0x14, 0x80, 0x05, 0xFF}};

constexpr uint16_t BIFFRECID_FEATHEADR = 0x0867;
constexpr uint16_t kColinfoWidthDefault = 2500;

}  // namespace

void TXLSWriter::WriteFormatRecords()
{
    WriteFonts();
    WriteFormats();
    WriteXFs();
    WriteStyles();
    WritePalette();
}

void TXLSWriter::WriteFonts()
{
    const TXFonts& fonts = FXLS.Fonts();
    for (int i = 0; i < fonts.Count(); ++i)
        if (i != 4) Rec(BIFFRECID_FONT, fonts[i].RecordBody());  // BIFF numbers fonts without an index 4
}

void TXLSWriter::WriteFormats()
{
    const auto& formats = FXLS.Formats().NumberFormats();
    for (size_t i = 1; i < formats.size(); ++i) {
        const TNumberFormat& f = formats[i];
        if (f.BuiltIn && !f.InUse) continue;
        TByteWriter w;
        w.U16(f.Id);
        w.U16(uint16_t(f.Text.size()));
        w.U8(1);
        w.UTF16(f.Text);
        Rec(BIFFRECID_FORMAT, w.Data());
    }
}

void TXLSWriter::WriteXFs()
{
    TCellFormats& formats = FXLS.Formats();
    for (int i = 0; i < formats.Count(); ++i) {
        const auto& d = formats[i]->Data();
        FXLSStream.WriteBufHeader(d.data(), BIFFRECID_XF, uint16_t(d.size()));
    }
}

void TXLSWriter::WriteStyles()
{
    for (const auto& body : FXLS.FWriteDefaultData ? kDefaultStyles : FXLS.Styles()) Rec(BIFFRECID_STYLE, body);
}

void TXLSWriter::WritePalette()
{
    if (Palette() == DefaultPalette()) return;
    TByteWriter w;
    w.U16(kPaletteSize);
    for (uint32_t rgb : Palette()) w.U32(rgb);
    Rec(BIFFRECID_PALETTE, w.Data());
}

void TXLSWriter::WritePageBreaks(TSheet& sheet)
{
    const TPrintSettings& ps = sheet.PrintSettings();
    if (!ps.HorizPageBreaks.empty()) {
        TByteWriter w;
        w.U16(uint16_t(ps.HorizPageBreaks.size()));
        for (uint16_t row : ps.HorizPageBreaks) {
            w.U16(row);
            w.U16(0);
            w.U16(255);
        }
        Rec(BIFFRECID_HORIZONTALPAGEBREAKS, w.Data());
    }
    if (!ps.VertPageBreaks.empty()) {
        TByteWriter w;
        w.U16(uint16_t(ps.VertPageBreaks.size()));
        for (uint16_t col : ps.VertPageBreaks) {
            w.U16(col);
            w.U16(0);
            w.U16(65535);
        }
        Rec(BIFFRECID_VERTICALPAGEBREAKS, w.Data());
    }
}

void TXLSWriter::WriteHeaderFooter(TSheet& sheet)
{
    for (auto [id, text] : {std::pair{BIFFRECID_HEADER, &sheet.PrintSettings().Header},
                            std::pair{BIFFRECID_FOOTER, &sheet.PrintSettings().Footer}}) {
        TByteWriter w;
        if (!text->empty()) {
            w.U16(uint16_t(text->size()));
            w.U8(1);
            w.UTF16(*text);
        }
        Rec(id, w.Data());
    }
}

void TXLSWriter::WriteMargins(TSheet& sheet)
{
    const TPrintSettings& ps = sheet.PrintSettings();
    for (auto [id, inches] :
         {std::pair{BIFFRECID_LEFTMARGIN, ps.MarginLeft}, std::pair{BIFFRECID_RIGHTMARGIN, ps.MarginRight},
          std::pair{BIFFRECID_TOPMARGIN, ps.MarginTop}, std::pair{BIFFRECID_BOTTOMMARGIN, ps.MarginBottom}}) {
        if (!(inches >= 0)) continue;
        TByteWriter w;
        w.F64(inches);
        Rec(id, w.Data());
    }
}

void TXLSWriter::WriteColinfo(TSheet& sheet)
{
    const auto& columns = sheet.Columns();
    for (auto it = columns.begin(); it != columns.end() && it->first <= 255;) {
        auto last = it;
        for (auto next = std::next(it); next != columns.end() && next->first <= 255 && next->first == last->first + 1 &&
                                        next->second == it->second;
             ++next)
            last = next;
        const TXLSColumn& c = it->second;
        uint16_t options = uint16_t((c.Width != kColinfoWidthDefault ? 0x0002 : 0) | (c.Hidden ? 0x0001 : 0) |
                                    ((c.OutlineLevel & 7) << 8) | (c.Collapsed ? 0x1000 : 0));
        TByteWriter w;
        w.U16(it->first);
        w.U16(last->first);
        w.U16(c.Width);
        w.U16(c.XF);
        w.U16(options);
        w.U16(0);
        Rec(BIFFRECID_COLINFO, w.Data());
        it = std::next(last);
    }
}

void TXLSWriter::WriteRows(TSheet& sheet)
{
    for (const auto& [row, r] : sheet.Rows()) {
        if (row > 65535) continue;
        uint16_t options = uint16_t(r.XF != kDefaultXF ? r.Options | 0x0080 : r.Options & ~0x0080) | 0x0100;
        TByteWriter w;
        w.U16(uint16_t(row));
        w.U16(r.FirstCol);
        w.U16(std::min<uint16_t>(r.LastCol, 255));
        w.U16(r.Height);
        w.U16(0);
        w.U16(0);
        w.U16(options);
        w.U16(r.XF);
        Rec(BIFFRECID_ROW, w.Data());
    }
}

// Panes, drawings, merged cells, conditional formats, hyperlinks and
// validations are not modelled; only the protection feature header remains.
void TXLSWriter::WriteSuffix(TSheet& sheet)
{
    if (sheet.FSheetProtections == kAllSheetProtections) return;
    TByteWriter w;
    w.U16(BIFFRECID_FEATHEADR);
    w.U16(0);
    for (int i = 0; i < 8; ++i) w.U8(0);
    w.U16(2);  // ISFPROTECTION
    w.U8(1);
    w.U32(0xFFFFFFFF);
    w.U32(sheet.FSheetProtections);
    Rec(BIFFRECID_FEATHEADR, w.Data());
}

}  // namespace workbook
