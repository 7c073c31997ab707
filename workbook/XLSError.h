// The one exception type of the workbook library and the printf-style helper
// its messages are built with. Messages are English and meant for the user.
#pragma once

#include <stdexcept>
#include <string>

namespace workbook {

class EXLSError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// snprintf into a std::string; used for the fixed message texts with %d / %.4X.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace workbook
