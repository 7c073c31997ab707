// records FILE and streams FILE: look inside a workbook file.
#include "Commands.h"

#include "workbook/CompoundDocument.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"
#include "workbook/XLSStream.h"

#include <cstdio>
#include <vector>

namespace xlstool {

namespace {

int RunRecords(const std::vector<std::string>& args)
{
    workbook::TXLSStream stream;
    stream.OpenStorageRead(workbook::Utf8ToUtf16(args[0]));
    std::vector<uint8_t> body(65535);
    workbook::TBIFFHeader header;
    for (;;) {
        uint64_t offset = stream.Pos();
        if (stream.ReadHeader(header) < 4) break;
        size_t got = stream.Read(body.data(), header.Length);
        std::printf("%08llX %04X %u\n", static_cast<unsigned long long>(offset), header.RecID, header.Length);
        if (got < header.Length) throw workbook::EXLSError("The last record is cut short by the end of the stream");
    }
    return 0;
}

// Names may hold control characters (\x05SummaryInformation); show them escaped.
std::string PrintableName(const std::u16string& name)
{
    std::string out;
    for (char16_t c : name) {
        char buf[8];
        if (c < 0x20) {
            std::snprintf(buf, sizeof buf, "\\x%02X", unsigned(c));
            out += buf;
        } else {
            out += workbook::Utf16ToUtf8(std::u16string(1, c));
        }
    }
    return out;
}

void ListEntries(const workbook::TCompoundEntry& storage, const std::string& prefix)
{
    for (const auto& child : storage.Children) {
        std::string path = prefix + PrintableName(child->Name);
        if (child->IsStorage()) {
            std::printf("storage\t-\t%s/\n", path.c_str());
            ListEntries(*child, path + "/");
        } else {
            std::printf("stream\t%llu\t%s\n", static_cast<unsigned long long>(child->Data.Size()), path.c_str());
        }
    }
}

int RunStreams(const std::vector<std::string>& args)
{
    auto doc = workbook::TCompoundDocument::OpenFile(args[0]);
    ListEntries(doc.RootEntry(), "");
    return 0;
}

}  // namespace

std::vector<TCommand> InspectCommands()
{
    return {{"records", "FILE",
             "Prints one line per BIFF record of the workbook stream: byte offset (8 hex digits), record id "
             "(4 hex digits), body length.",
             1, RunRecords},
            {"streams", "FILE",
             "Lists the storages and streams of the compound document: kind, size in bytes (\"-\" for a storage), "
             "path.",
             1, RunStreams}};
}

}  // namespace xlstool
