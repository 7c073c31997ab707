// write OUT.xls / OUT.xlsx: the file the application's export writes, from text on stdin.
#include "Commands.h"

#include "workbook/Workbook.h"
#include "workbook/model/SST.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

namespace xlstool {

namespace {

// One step of a spin: tells the processor that this thread only waits.
void Pause()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Appends field to out with the escapes \t \r \n \\ decoded; any other
// backslash stays as it is.
void AppendDecoded(std::string_view field, std::string& out)
{
    for (size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        char e = field[++i];
        if (e == 't')
            out += '\t';
        else if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == '\\')
            out += '\\';
        else
            out += {'\\', e};
    }
}

// Calls onLine with each line of in, without its LF. Input is read in large
// blocks; a last line without LF counts when it is not empty.
template <class F> void ForEachLine(std::FILE* in, F onLine)
{
    std::vector<char> buffer(1 << 20);
    size_t have = 0;
    for (;;) {
        if (have == buffer.size()) buffer.resize(buffer.size() * 2);
        size_t got = std::fread(buffer.data() + have, 1, buffer.size() - have, in);
        have += got;
        size_t start = 0;
        while (const void* lf = std::memchr(buffer.data() + start, '\n', have - start)) {
            size_t end = size_t(static_cast<const char*>(lf) - buffer.data());
            onLine(std::string_view(buffer.data() + start, end - start));
            start = end + 1;
        }
        if (got == 0) {
            if (start < have) onLine(std::string_view(buffer.data() + start, have - start));
            return;
        }
        std::memmove(buffer.data(), buffer.data() + start, have - start);
        have -= start;
    }
}

// Cells of a block of lines, prepared for the shared-string table: their
// texts' bytes and hashes are made here, the tables touched only by Store.
struct TPreparedBlock {
    struct TCell {
        uint32_t Row, Col;
        size_t Offset;  // of the text's bytes in Bytes
        uint16_t Len;
        uint8_t Options;
        uint32_t Hash;
    };
    std::vector<TCell> Cells;
    std::vector<uint8_t> Bytes;
};

// Turns lines into prepared cells, converting each field through buffers
// that are reused from cell to cell.
class TRowPreparer {
public:
    void Prepare(std::string_view line, uint32_t row, TPreparedBlock& block)
    {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        for (uint32_t col = 0;; ++col) {
            size_t tab = line.find('\t');
            PrepareCell(line.substr(0, tab), col, row, block);
            if (tab == std::string_view::npos) return;
            line.remove_prefix(tab + 1);
        }
    }

private:
    void PrepareCell(std::string_view field, uint32_t col, uint32_t row, TPreparedBlock& block)
    {
        if (field.find('\\') != std::string_view::npos) {
            FDecoded.clear();
            AppendDecoded(field, FDecoded);
            field = FDecoded;
        }
        workbook::Utf8ToUtf16(field, FText);
        workbook::TSSTText text = workbook::PrepareSSTText(FText, FScratch);
        size_t offset = block.Bytes.size();
        block.Bytes.insert(block.Bytes.end(), text.Bytes, text.Bytes + text.ByteCount());
        block.Cells.push_back({row, col, offset, text.Len, text.Options, text.Hash});
    }

    std::string FDecoded;
    std::u16string FText;
    std::vector<uint8_t> FScratch;
};

// Puts the cells of the input into the sheets of the format the output's
// name asks for. Lines past what one sheet holds go on in further sheets,
// each starting with a copy of the first line (the title row), as the
// application's export does; a line with more fields than a sheet has
// columns is refused, since no sheet of that format can hold it.
class TSheetRouter {
public:
    TSheetRouter(workbook::TXLSWorkbook& book, workbook::TExcelVersion version)
        : FBook(book), FVersion(version), FRows(workbook::SheetRowLimit(version)),
          FColumns(workbook::SheetColumnLimit(version))
    {
    }

    void Store(const TPreparedBlock& block)
    {
        workbook::TSheet& first = FBook.Sheet(0);
        for (const TPreparedBlock::TCell& c : block.Cells) {
            if (c.Col >= FColumns) TooWide(c.Row, c.Col);
            const workbook::TSSTText text{block.Bytes.data() + c.Offset, c.Len, c.Options, c.Hash};
            if (c.Row < FRows) {
                first.SetAsString(c.Col, c.Row, text);
                continue;
            }
            const workbook::TSheetPlace place = workbook::PlaceOfDataRow(c.Row - 1, FVersion);
            SheetAt(place.Sheet).SetAsString(c.Col, place.Row, text);
        }
    }

private:
    [[noreturn]] void TooWide(uint32_t row, uint32_t col) const
    {
        const bool xls = FVersion != workbook::xvExcel2007;
        throw workbook::EXLSError("Line " + std::to_string(row + 1) + " has a field in column " +
                                  std::to_string(col + 1) + ", past the " + std::to_string(FColumns) +
                                  " columns a sheet of " + (xls ? "an Excel 97-2003 (.xls)" : "an .xlsx") +
                                  " file holds; nothing was written" +
                                  (xls ? " (an .xlsx file holds 16384 columns)" : ""));
    }

    // Sheets are added in order, each with the title row of the first.
    workbook::TSheet& SheetAt(int index)
    {
        while (FBook.Sheets().Count() <= index) {
            workbook::TSheet& sheet = FBook.Sheets().Add();
            sheet.SetName(u"Sheet" + workbook::Utf8ToUtf16(std::to_string(FBook.Sheets().Count())));
            workbook::TSheet& first = FBook.Sheet(0);
            for (uint32_t col = 0; col < FColumns; ++col)
                if (first.HasCell(col, 0)) sheet.SetAsString(col, 0, first.GetAsString(col, 0));
        }
        return FBook.Sheet(index);
    }

    workbook::TXLSWorkbook& FBook;
    workbook::TExcelVersion FVersion;
    uint32_t FRows, FColumns;
};

// Reading and preparing the input runs in a second thread while this one
// stores what is ready: blocks go back and forth between the two, at most
// kInFlight of them filled and waiting. The reading thread shares its state,
// so that a command failing half-way can leave it behind rather than wait
// for it: it may be waiting for input that comes late or never, and the
// process is about to end.
class TInputPipeline {
public:
    static constexpr size_t kLinesPerBlock = 512;
    static constexpr size_t kInFlight = 16;
    static constexpr int kSpins = 4000;

    explicit TInputPipeline(std::FILE* in)
        : FState(std::make_shared<TState>()), FThread([state = FState, in] { state->Produce(in); })
    {
    }
    ~TInputPipeline()
    {
        bool done;
        {
            std::lock_guard lock(FState->Mutex);
            FState->Stopped = true;
            done = FState->Done;
            FState->Changed.notify_all();
        }
        if (done)
            FThread.join();
        else
            FThread.detach();
    }
    // The next filled block, or null at the end of the input; rethrows what
    // failed in the reading thread. The block returns with Recycle.
    std::unique_ptr<TPreparedBlock> Next() { return FState->Next(); }
    void Recycle(std::unique_ptr<TPreparedBlock> block)
    {
        block->Cells.clear();
        block->Bytes.clear();
        std::lock_guard lock(FState->Mutex);
        FState->Empty.push_back(std::move(block));
    }

private:
    struct TStopped {};
    struct TState {
        std::mutex Mutex;
        std::condition_variable Changed;
        std::deque<std::unique_ptr<TPreparedBlock>> Filled;
        std::vector<std::unique_ptr<TPreparedBlock>> Empty;
        bool Done = false, Stopped = false;
        std::exception_ptr Error;
        std::atomic<size_t> Handed{0};  // blocks handed over, and one for the end
        size_t Taken = 0;               // calls of Next (consumer only)

        std::unique_ptr<TPreparedBlock> Next()
        {
            // Waking a sleeping thread can take longer than the wait itself,
            // so a short wait is spent spinning.
            for (int i = 0; i < kSpins && Handed.load(std::memory_order_acquire) == Taken; ++i) Pause();
            ++Taken;
            std::unique_lock lock(Mutex);
            Changed.wait(lock, [&] { return !Filled.empty() || Done; });
            if (Filled.empty()) {
                if (Error) std::rethrow_exception(Error);
                return nullptr;
            }
            auto block = std::move(Filled.front());
            Filled.pop_front();
            Changed.notify_all();
            return block;
        }
        void Produce(std::FILE* in) noexcept
        {
            try {
                TRowPreparer preparer;
                std::unique_ptr<TPreparedBlock> block;
                uint32_t row = 0;
                size_t lines = 0;
                ForEachLine(in, [&](std::string_view line) {
                    if (!block) block = TakeEmpty();
                    preparer.Prepare(line, row++, *block);
                    if (++lines % kLinesPerBlock == 0) Hand(std::move(block));
                });
                if (block) Hand(std::move(block));
            } catch (const TStopped&) {
            } catch (...) {
                std::lock_guard lock(Mutex);
                Error = std::current_exception();
            }
            std::lock_guard lock(Mutex);
            Done = true;
            Handed.fetch_add(1, std::memory_order_release);  // ends a consumer's spin
            Changed.notify_all();
        }
        std::unique_ptr<TPreparedBlock> TakeEmpty()
        {
            std::lock_guard lock(Mutex);
            if (Empty.empty()) return std::make_unique<TPreparedBlock>();
            auto block = std::move(Empty.back());
            Empty.pop_back();
            return block;
        }
        // Waits while kInFlight blocks are waiting; the consumer going away
        // ends the reading.
        void Hand(std::unique_ptr<TPreparedBlock> block)
        {
            std::unique_lock lock(Mutex);
            Changed.wait(lock, [&] { return Filled.size() < kInFlight || Stopped; });
            if (Stopped) throw TStopped();
            Filled.push_back(std::move(block));
            Handed.fetch_add(1, std::memory_order_release);
            Changed.notify_all();
        }
    };

    std::shared_ptr<TState> FState;
    std::thread FThread;
};

int RunWrite(const std::vector<std::string>& args)
{
    workbook::TXLSWorkbook& book = WorkbookKeptToExit();
    workbook::LoadFromWindowResources(book);
    const std::u16string out = workbook::Utf8ToUtf16(args[0]);
    if (workbook::FormatOfName(out) != workbook::xvNone) book.SetVersion(workbook::FormatOfName(out));
    TSheetRouter router(book, book.Version());
    {
        TInputPipeline input(stdin);
        while (auto block = input.Next()) {
            router.Store(*block);
            input.Recycle(std::move(block));
        }
    }
    book.SetFilename(out);
    book.Write();
    return 0;
}

}  // namespace

std::string DecodeField(const std::string& field)
{
    std::string out;
    out.reserve(field.size());
    AppendDecoded(field, out);
    return out;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::vector<TCommand> WriteCommands()
{
    return {{"write", "OUT.xls|OUT.xlsx",
             "Reads UTF-8 tab-separated lines from standard input and writes OUT as the application's export "
             "does: field c of line r becomes the text cell at column c, row r of the first sheet (escapes \\t \\r "
             "\\n \\\\ decoded; a line ending CR LF loses its CR). The name decides the format: .xlsx is an "
             "Office Open XML package, .xls (and any other name) Excel 97-2003. Lines past the rows of one sheet "
             "(65536 in .xls, 1048576 in .xlsx) go on in further sheets, each starting with the first line again; "
             "a line with more fields than a sheet has columns (256 in .xls, 16384 in .xlsx) is an error and "
             "nothing is written.",
             1, RunWrite}};
}

}  // namespace xlstool
