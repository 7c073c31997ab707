// The worker inflates the entry into one buffer of its full size, so that
// the scanner's views of the bytes stay valid, and tells the calling thread
// after every chunk how far it got; the calling thread scans what has arrived
// and waits when it runs out. The worker pays for inflating, for the checksum
// and for the buffer's fresh pages; the calling thread scans and builds.
#include "workbook/xlsx/XmlPartPipeline.h"

#include "workbook/MemoryPool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace workbook {

namespace {

class TPipelinedScan {
public:
    TPipelinedScan(std::unique_ptr<TZipContainer::TEntryReader> reader, std::size_t chunk)
        : FReader(std::move(reader)), FSize(std::size_t(FReader->DeclaredSize())),
          FBytes(FSize + 1), FChunk(chunk)
    {
        FWorker = std::thread([this] { Inflate(); });
    }
    ~TPipelinedScan()
    {
        if (FWorker.joinable()) FWorker.join();
    }
    void Run(TXmlScanEvents& events);

private:
    struct TProgress {
        std::size_t Got;
        bool Final;
    };
    void Inflate() noexcept;
    void InflateAll();
    TProgress WaitFor(std::size_t bytes);
    void Join();

    std::unique_ptr<TZipContainer::TEntryReader> FReader;
    std::size_t FSize;
    TZeroedArray<char> FBytes;  // a large part's buffer comes in huge pages
    std::size_t FChunk;
    std::mutex FMutex;
    std::condition_variable FChanged;
    std::size_t FGot = 0;   // bytes inflated so far
    bool FDone = false;     // the worker has finished
    std::exception_ptr FZipError;
    std::thread FWorker;
};

void TPipelinedScan::InflateAll()
{
    std::size_t got = 0;
    while (true) {
        const std::size_t n = got < FSize ? FReader->Read(&FBytes[got], std::min(FChunk, FSize - got)) : 0;
        if (n == 0) return FReader->CheckEnd(got);
        got += n;
        std::lock_guard lock(FMutex);
        FGot = got;
        FChanged.notify_all();
    }
}

void TPipelinedScan::Inflate() noexcept
{
    try {
        InflateAll();
    } catch (...) {
        FZipError = std::current_exception();
    }
    std::lock_guard lock(FMutex);
    FDone = true;
    FChanged.notify_all();
}

// Waits until at least `bytes` have arrived or the worker has finished; the
// bytes are final only once the whole entry has inflated and checked out.
TPipelinedScan::TProgress TPipelinedScan::WaitFor(std::size_t bytes)
{
    std::unique_lock lock(FMutex);
    FChanged.wait(lock, [&] { return FDone || FGot >= bytes; });
    return {FGot, FDone};
}

void TPipelinedScan::Join()
{
    if (FWorker.joinable()) FWorker.join();
}

// A step the scanner could not finish is taken again once the bytes after
// its start have at least doubled, so that one very long tag is not
// rescanned for every chunk. A damaged entry is reported before anything
// found in its bytes, as when the entry is extracted before it is scanned.
void TPipelinedScan::Run(TXmlScanEvents& events)
{
    TXmlScanner scanner(events);
    std::size_t next = 1;
    try {
        while (true) {
            const TProgress progress = WaitFor(next);
            if (progress.Final && FZipError) break;
            const std::size_t scanned =
                scanner.Scan(std::string_view(&FBytes[0], progress.Got), progress.Final);
            if (progress.Final) break;
            next = progress.Got + std::max<std::size_t>(progress.Got - scanned, 1);
        }
    } catch (...) {
        Join();
        if (FZipError) std::rethrow_exception(FZipError);
        throw;
    }
    Join();
    if (FZipError) std::rethrow_exception(FZipError);
}

}  // namespace

TPipelineOptions& DefaultPipelineOptions()
{
    static TPipelineOptions options;
    return options;
}

void ScanZipEntry(const TZipContainer& zip, int index, TXmlScanEvents& events, const TPipelineOptions& options)
{
    auto reader = std::make_unique<TZipContainer::TEntryReader>(zip, index);
    // An entry declaring more than its compressed bytes can inflate to is
    // read into a growing buffer, which the worker's fixed one cannot be.
    if (reader->DeclaredSize() < options.PipelinedFrom || reader->PlausibleSize() != reader->DeclaredSize()) {
        const std::string bytes = reader->ReadAll();
        reader.reset();
        ScanXml(bytes, events);
        return;
    }
    TPipelinedScan(std::move(reader), std::max<std::size_t>(options.Chunk, 1)).Run(events);
}

}  // namespace workbook
