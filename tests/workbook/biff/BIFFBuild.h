// Workbooks built record by record for the reader's tests: one compound
// document with a globals substream and one substream per sheet.
#pragma once

#include "TestHelpers.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/Utf16.h"
#include "workbook/model/Model.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tbtest {

using workbook::TCompoundDocument;
using workbook::TXLSWorkbook;
using workbook::Utf16ToUtf8;

struct TRec {
    uint16_t Id;
    std::vector<uint8_t> Body;
};

inline std::vector<uint8_t> U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
inline std::vector<uint8_t> U32(uint32_t v)
{
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline std::vector<uint8_t> F64(double d)
{
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &d, 8);
    return b;
}
inline std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) { return Cat(a, b); }

inline std::vector<uint8_t> Cell(uint16_t row, uint16_t col) { return U16(row) + U16(col) + U16(15); }
inline TRec Number(uint16_t row, uint16_t col, double v) { return {0x0203, Cell(row, col) + F64(v)}; }
inline TRec Formula(uint16_t row, uint16_t col, std::vector<uint8_t> result, uint16_t options,
                    std::vector<uint8_t> tokens)
{
    return {0x0006, Cell(row, col) + result + U16(options) + U32(0) + U16(uint16_t(tokens.size())) + tokens};
}
inline std::vector<uint8_t> Special(uint8_t type, uint8_t value) { return {type, 0, value, 0, 0, 0, 0xFF, 0xFF}; }

inline std::vector<uint8_t> RecordBytes(const std::vector<TRec>& records)
{
    std::vector<uint8_t> stream;
    for (const TRec& r : records) stream = stream + U16(r.Id) + U16(uint16_t(r.Body.size())) + r.Body;
    return stream;
}

// A one-stream compound document: globals (BOUNDSHEETs, extra records),
// then one substream per sheet, of the BOF types given (worksheets when
// none; 0x0020 makes a chart sheet).
inline std::vector<uint8_t> Book(const std::vector<std::vector<TRec>>& sheets, const std::vector<TRec>& globals = {},
                                 uint16_t version = 0x0600, const char16_t* streamName = nullptr,
                                 const std::vector<uint16_t>& types = {})
{
    auto type = [&](size_t i) { return i < types.size() ? types[i] : uint16_t(0x0010); };
    std::vector<TRec> all;
    all.push_back({0x0809, U16(version) + U16(0x0005) + Hex("AF 18 CD 07 C1 00 00 00 06 03 00 00")});
    all.insert(all.end(), globals.begin(), globals.end());
    for (size_t i = 0; i < sheets.size(); ++i) {
        std::string name = "S" + std::to_string(i + 1);
        std::vector<uint8_t> b = U32(0) + Hex("00") + std::vector<uint8_t>{uint8_t(type(i) == 0x0020 ? 2 : 0)} +
                                 std::vector<uint8_t>{uint8_t(name.size())};
        if (version == 0x0600) b.push_back(0);
        b.insert(b.end(), name.begin(), name.end());
        all.push_back({0x0085, b});
    }
    all.push_back({0x000A, {}});
    for (size_t i = 0; i < sheets.size(); ++i) {
        all.push_back({0x0809, U16(version) + U16(type(i)) + Hex("AF 18 CD 07 C1 00 00 00 06 03 00 00")});
        all.insert(all.end(), sheets[i].begin(), sheets[i].end());
        all.push_back({0x000A, {}});
    }
    const std::vector<uint8_t> stream = RecordBytes(all);
    TCompoundDocument doc;
    auto s = doc.Root().CreateStream(streamName ? streamName : version == 0x0600 ? u"Workbook" : u"Book");
    s.Write(stream.data(), stream.size());
    return doc.SaveToMemory();
}

inline std::string Text(TXLSWorkbook& book, uint32_t col, uint32_t row, int sheet = 0)
{
    return Utf16ToUtf8(book.Sheet(sheet).GetAsString(col, row));
}

inline std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

}  // namespace tbtest
