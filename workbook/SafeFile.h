// Whole-file replacement that never leaves a half-written file behind, and
// the test seam that makes a write fail on purpose.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>

namespace workbook {

// Sink handed to a producer: call it with each piece of the new file's bytes.
using TByteSink = std::function<void(const void*, size_t)>;

// Runs produce(sink) into a temporary file in path's folder, flushes it to
// disk and renames it over path. Any exception (from produce or the file
// system) removes the temporary file, leaves path as it was and propagates.
void ReplaceFileAtomically(const std::filesystem::path& path, const std::function<void(const TByteSink&)>& produce);

// Fault injection for tests. FailAfter(n): the (n+1)-th check from now throws
// "Simulated write failure". Reset() disarms. The file layer checks once per
// piece written to disk; the record stream checks once per record written.
namespace WriteFaults {
void FailFileWriteAfter(long count);
void FailRecordWriteAfter(long count);
void Reset();
void CheckFileWrite();
void CheckRecordWrite();
}  // namespace WriteFaults

}  // namespace workbook
