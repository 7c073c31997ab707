// records FILE and streams FILE: look inside a workbook file.
#include "Commands.h"

#include "workbook/Workbook.h"

#include <cstdio>
#include <vector>

namespace xlstool {

namespace {

int RunRecords(const std::vector<std::string>& args)
{
    workbook::WriteRecordListing(workbook::Utf8ToUtf16(args[0]),
                                 [](const char* text, size_t length) { std::fwrite(text, 1, length, stdout); });
    return 0;
}

int RunStreams(const std::vector<std::string>& args)
{
    const std::string listing = workbook::StreamListing(workbook::Utf8ToUtf16(args[0]));
    std::fwrite(listing.data(), 1, listing.size(), stdout);
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
