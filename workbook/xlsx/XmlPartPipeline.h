// Scanning a zip entry as XML. A large entry (a big sheet) is inflated and
// scanned by a worker thread while the calling thread builds the tag tree and
// the model from the tags already scanned; small entries are extracted and
// scanned in the calling thread.
#pragma once

#include "workbook/xlsx/XmlScanner.h"
#include "workbook/xlsx/ZipContainer.h"

namespace workbook {

struct TPipelineOptions {
    // Entries declaring at least this many uncompressed bytes are scanned by a worker.
    std::size_t PipelinedFrom = 1 << 20;
    // The worker inflates this many bytes before it scans what has arrived.
    std::size_t Chunk = 64 * 1024;
};

// The options ScanZipEntry uses unless given others. Tests and the fuzz
// target change them (before reading, in one thread) to send small parts
// through the worker too.
TPipelineOptions& DefaultPipelineOptions();

// Calls events with the tags of the entry, in the calling thread. Failures
// come as they would from Extract and then ScanXml: a damaged entry fails
// with its EZipError even when the events or the scanner failed first (the
// events have then seen part of the entry), else a malformed part with its
// EXmlError, else whatever the events threw.
void ScanZipEntry(const TZipContainer& zip, int index, TXmlScanEvents& events,
                  const TPipelineOptions& options = DefaultPipelineOptions());

}  // namespace workbook
