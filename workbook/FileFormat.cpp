// File formats by first bytes and by name (see FileFormat.h).
#include "workbook/FileFormat.h"

#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/model/Model.h"

#include <cstring>
#include <fstream>

namespace workbook {

namespace {

constexpr uint8_t kZipLocalHeader[] = {'P', 'K', 3, 4};
constexpr uint8_t kZipEmptyArchive[] = {'P', 'K', 5, 6};
constexpr uint8_t kCompoundSignature[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
// BOF record ids of BIFF2, BIFF3, BIFF4 and BIFF5+ streams.
constexpr uint16_t kBOFIds[] = {0x0009, 0x0209, 0x0409, 0x0809};

bool StartsWith(const uint8_t* bytes, size_t count, const uint8_t* prefix, size_t length)
{
    return count >= length && std::memcmp(bytes, prefix, length) == 0;
}

}  // namespace

TFileKind FileKindOfBytes(const uint8_t* bytes, size_t count)
{
    if (StartsWith(bytes, count, kZipLocalHeader, sizeof kZipLocalHeader) ||
        StartsWith(bytes, count, kZipEmptyArchive, sizeof kZipEmptyArchive))
        return fkPackage;
    if (StartsWith(bytes, count, kCompoundSignature, sizeof kCompoundSignature)) return fkCompound;
    if (count >= 4) {
        const uint16_t id = uint16_t(bytes[0] | bytes[1] << 8);
        for (uint16_t bof : kBOFIds)
            if (id == bof) return fkRawBIFF;
    }
    return fkUnknown;
}

TFileKind FileKindOfFile(const std::u16string& filename)
{
    std::ifstream in(Utf16ToUtf8(filename), std::ios::binary);
    uint8_t bytes[8] = {};
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    return FileKindOfBytes(bytes, size_t(in.gcount()));
}

std::u16string LowerExtension(const std::u16string& filename)
{
    size_t dot = filename.find_last_of(u'.');
    size_t slash = filename.find_last_of(u'/');
    if (dot == std::u16string::npos || (slash != std::u16string::npos && slash > dot)) return u"";
    std::u16string ext = filename.substr(dot);
    for (char16_t& c : ext)
        if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
    return ext;
}

TExcelVersion FormatOfName(const std::u16string& filename)
{
    const std::u16string ext = LowerExtension(filename);
    if (ext == u".xls") return xvExcel97;
    if (ext == u".xlsx") return xvExcel2007;
    return xvNone;
}

uint32_t SheetRowLimit(TExcelVersion version) { return version == xvExcel2007 ? 1048576 : 65536; }

uint32_t SheetColumnLimit(TExcelVersion version) { return version == xvExcel2007 ? 16384 : 256; }

TSheetPlace PlaceOfDataRow(uint64_t dataRow, TExcelVersion version)
{
    const uint64_t perSheet = SheetRowLimit(version) - 1;
    return {int(dataRow / perSheet), uint32_t(dataRow % perSheet) + 1};
}

int SheetsForDataRows(uint64_t dataRows, TExcelVersion version)
{
    const uint64_t perSheet = SheetRowLimit(version) - 1;
    return dataRows == 0 ? 1 : int((dataRows + perSheet - 1) / perSheet);
}

void CheckSheetsFit(TXLSWorkbook& book, TExcelVersion version)
{
    const uint32_t rows = SheetRowLimit(version), columns = SheetColumnLimit(version);
    for (int i = 0; i < book.Sheets().Count(); ++i) {
        TSheet& sheet = book.Sheet(i);
        const TCellDimensions d = sheet.Cells().CalcDimensions();
        if (d.Empty || (d.LastRow < rows && d.LastCol < columns)) continue;
        throw EXLSError("Sheet \"" + Utf16ToUtf8(sheet.Name()) + "\" has cells up to row " +
                        std::to_string(d.LastRow + 1) + ", column " + std::to_string(d.LastCol + 1) + "; a sheet of " +
                        (version == xvExcel2007 ? "an .xlsx" : "an Excel 97-2003 (.xls)") + " file holds " +
                        std::to_string(rows) + " rows and " + std::to_string(columns) +
                        " columns. Nothing was written" +
                        (version == xvExcel2007 ? "." : "; write an .xlsx file instead."));
    }
}

}  // namespace workbook
