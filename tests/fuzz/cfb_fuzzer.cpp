// libFuzzer target for the compound-document reader. Any input must either
// open or fail with EXLSError; a document that opens must survive being
// written and read again, and its workbook stream must walk record by record.
#include "workbook/compound/CompoundDocument.h"
#include "workbook/XLSError.h"
#include "workbook/biff/XLSStream.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void WalkRecords(const std::vector<uint8_t>& input)
{
    workbook::TXLSStream stream;
    stream.SetSourceStream(&input);
    if (stream.OpenStorageRead(u"") == workbook::xvNone) return;
    std::vector<uint8_t> body(65535);
    workbook::TBIFFHeader header;
    while (stream.ReadHeader(header) == 4)
        if (stream.Read(body.data(), header.Length) < header.Length) break;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        auto doc = workbook::TCompoundDocument::OpenMemory(data, size);
        auto again = doc.SaveToMemory();
        try {
            workbook::TCompoundDocument::OpenMemory(again.data(), again.size());
        } catch (const workbook::EXLSError&) {
            std::abort();  // what we write must always read back
        }
        WalkRecords(std::vector<uint8_t>(data, data + size));
    } catch (const workbook::EXLSError&) {
    }
    return 0;
}
