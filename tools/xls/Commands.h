// Subcommands of tallybrook-xls. Each command group lives in its own file and
// hands its commands to main through one function listed in main.cpp.
#pragma once

#include <string>
#include <vector>

namespace workbook {
class TXLSWorkbook;
}

namespace xlstool {

// The workbook of a command, one per process, freed when the program ends.
workbook::TXLSWorkbook& WorkbookKeptToExit();

// The text given with --password (UTF-8); empty when none was given. The
// reading commands open workbooks saved with a password to open with it.
extern std::string gPassword;

struct TCommand {
    const char* Name;
    const char* Usage;  // arguments after the name, e.g. "OUT.xls"
    const char* Help;   // one paragraph for --help
    int ArgCount;       // exact number of arguments
    int (*Run)(const std::vector<std::string>& args);
    bool TakesPassword = false;  // accepts --password TEXT after its arguments
};

// write: text cells from tab-separated lines.
std::vector<TCommand> WriteCommands();
// records, streams: what is inside a workbook file.
std::vector<TCommand> InspectCommands();
// cat, sheets, copy: reading workbooks.
std::vector<TCommand> ReadCommands();

// Decodes the escapes \t \r \n \\ of one tab-separated field.
std::string DecodeField(const std::string& field);
// Splits a line at tabs (an empty line is one empty field).
std::vector<std::string> SplitFields(const std::string& line);

}  // namespace xlstool
