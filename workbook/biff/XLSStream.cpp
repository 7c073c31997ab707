// Opening, closing and the record-level reads and writes of TXLSStream.
#include "workbook/biff/XLSStream.h"

#include "workbook/biff/XLSDecrypt.h"

#include "workbook/ByteOrder.h"
#include "workbook/SafeFile.h"
#include "workbook/Utf16.h"
#include "workbook/XLSError.h"

#include <cerrno>
#include <cstring>

namespace workbook {

namespace {

std::filesystem::path PathOf(const std::u16string& filename) { return std::filesystem::path(Utf16ToUtf8(filename)); }

TExcelVersion VersionOfPlainFile(const uint8_t* head, size_t size)
{
    if (size < 4 || head[0] != 0x09) return xvNone;
    uint16_t type = GetU16(head);
    if (type < 0x0100) return xvExcel21;
    if (type >= 0x0200 && type <= 0x02FF) return xvExcel30;
    if (type >= 0x0400 && type <= 0x04FF) return xvExcel40;
    return xvNone;
}

}  // namespace

TXLSStream::TXLSStream() = default;

TXLSStream::~TXLSStream() { AbandonStorage(); }

TExcelVersion TXLSStream::OpenStorageRead(const std::u16string& filename)
{
    AbandonStorage();
    FFilename = filename;
    if (FSourceStream) {
        OpenCompoundRead(TCompoundDocument::OpenMemory(FSourceStream->data(), FSourceStream->size()));
        return FFileVersion;
    }
    TSharedBytes bytes = ReadFileBytes(PathOf(filename));
    if (TCompoundDocument::HasSignature(bytes.Data, bytes.Size))
        OpenCompoundRead(TCompoundDocument::OpenShared(std::move(bytes)));
    else
        OpenPlainRead(std::move(bytes));
    return FFileVersion;
}

// The saved copy of the document shares the bytes of its streams with the
// one read, so keeping it costs no copy.
void TXLSStream::OpenCompoundRead(TCompoundDocument document)
{
    OleStorage = std::make_unique<TCompoundDocument>(std::move(document));
    if (FExtraObjects) {
        auto saved = std::make_unique<TCompoundDocument>();
        OleStorage->Root().CopyTo(saved->Root());
        FExtraObjects->SetSavedStorage(std::move(saved));
    }
    TCompoundStorage root = OleStorage->Root();
    if (root.HasStream(u"Workbook")) {
        OleStream.emplace(root.OpenStream(u"Workbook"));
        FFileVersion = xvExcel97;
    } else if (root.HasStream(u"Book")) {
        OleStream.emplace(root.OpenStream(u"Book"));
        FFileVersion = xvExcel50;
    } else {
        OleStorage.reset();
        throw EXLSError("The file is not an Excel workbook");
    }
    FStreamSize = OleStream->Size() & 0xFFFFFFFFu;
    FActive = &*OleStream;
}

void TXLSStream::OpenPlainRead(TSharedBytes bytes)
{
    FFileVersion = VersionOfPlainFile(bytes.Data, bytes.Size);
    FStreamSize = bytes.Size;
    FPlainBytes = std::make_unique<TChunkedBytes>();
    FPlainBytes->AssignShared(std::move(bytes));
    FStream.emplace(*FPlainBytes);
    FActive = &*FStream;
}

void TXLSStream::OpenStorageWrite(const std::u16string& filename, TExcelVersion version)
{
    AbandonStorage();
    FFileVersion = version;
    FFilename = filename;
    if (!FTargetStream && filename.empty()) throw EXLSError("Filename is missing");
    FWriting = true;
    if (version < xvExcel50) {
        FPlainBytes = std::make_unique<TChunkedBytes>();
        FStream.emplace(*FPlainBytes);
        FActive = &*FStream;
        return;
    }
    OleStorage = std::make_unique<TCompoundDocument>();
    if (FExtraObjects && FExtraObjects->HasData()) FExtraObjects->SavedStorage()->Root().CopyTo(OleStorage->Root());
    // The stream of the other format is the one being replaced: a reader that
    // looks for it first would otherwise show the old data.
    OleStorage->Root().Remove(version == xvExcel50 ? u"Workbook" : u"Book");
    OleStream.emplace(OleStorage->Root().CreateStream(version == xvExcel50 ? u"Book" : u"Workbook"));
    FActive = &*OleStream;
}

void TXLSStream::CloseStorage()
{
    if (!FWriting) {
        AbandonStorage();
        return;
    }
    struct TRelease {
        TXLSStream* Self;
        ~TRelease() { Self->AbandonStorage(); }
    } release{this};
    if (OleStorage) {
        if (FTargetStream)
            *FTargetStream = OleStorage->SaveToMemory();
        else
            OleStorage->SaveToFile(PathOf(FFilename));
    } else if (FPlainBytes) {
        if (FTargetStream)
            *FTargetStream = FPlainBytes->ToVector();
        else
            ReplaceFileAtomically(PathOf(FFilename), [&](const TByteSink& sink) {
                FPlainBytes->ForEachPiece([&](const uint8_t* p, size_t n) { sink(p, n); });
            });
    }
}

void TXLSStream::AbandonStorage()
{
    FActive = nullptr;
    FStream.reset();
    OleStream.reset();
    OleStorage.reset();
    FPlainBytes.reset();
    FWriting = false;
    FStreamSize = 0;
    FWrittenBytes = 0;
    FWriteCONTINUEPos = -1;
    FMaxBytesWrite = -1;
    FReadCONTINUEActive = false;
    FReadCONTINUEPos = 0;
}

void TXLSStream::NotOpen() const { throw EXLSError("The workbook stream is not open"); }

void TXLSStream::RawWrite(const void* buffer, size_t count) { Stream().Write(buffer, count); }

uint64_t TXLSStream::Seek(int64_t offset, int origin) { return Stream().Seek(offset, origin); }

void TXLSStream::WriteHeader(uint16_t recID, uint16_t length)
{
    WriteFaults::CheckRecordWrite();
    uint8_t h[4];
    PutU16(h, recID);
    PutU16(h + 2, length);
    RawWrite(h, 4);
}

void TXLSStream::WriteBufHeader(const void* buffer, uint16_t recID, uint16_t length)
{
    // Small records (most cell records) go out as one piece.
    constexpr uint16_t kSmall = 60;
    if (length > kSmall) {
        WriteHeader(recID, length);
        RawWrite(buffer, length);
        return;
    }
    WriteFaults::CheckRecordWrite();
    uint8_t record[4 + kSmall];
    PutU16(record, recID);
    PutU16(record + 2, length);
    if (length) std::memcpy(record + 4, buffer, length);
    RawWrite(record, 4u + length);
}

void TXLSStream::WriteWord(uint16_t recID, uint16_t value)
{
    uint8_t body[2];
    PutU16(body, value);
    WriteBufHeader(body, recID, 2);
}

size_t TXLSStream::Write(const void* buffer, size_t count)
{
    if (FMaxBytesWrite > 0) {
        ContinueWrite(static_cast<const uint8_t*>(buffer), count);
        return 0;
    }
    RawWrite(buffer, count);
    FWrittenBytes += int64_t(count);
    return count;
}

void TXLSStream::WWord(uint16_t value)
{
    uint8_t b[2];
    PutU16(b, value);
    RawWrite(b, 2);
}

void TXLSStream::WByte(uint8_t value) { RawWrite(&value, 1); }

void TXLSStream::WLWord(uint32_t value)
{
    uint8_t b[4];
    PutU32(b, value);
    RawWrite(b, 4);
}

void TXLSStream::WriteWideString(const std::u16string& text, bool writeLen)
{
    if (writeLen) WWord(uint16_t(text.size()));
    if (text.empty()) return;
    WByte(1);
    for (char16_t c : text) WWord(uint16_t(c));
}

void TXLSStream::WriteCONTINUE(uint16_t recID, const void* buffer, size_t count)
{
    const auto* p = static_cast<const uint8_t*>(buffer);
    size_t n = std::min<size_t>(count, kMaxRecordBody97);
    WriteBufHeader(p, recID, uint16_t(n));
    for (size_t done = n; done < count; done += n) {
        n = std::min<size_t>(count - done, kMaxRecordBody97);
        WriteBufHeader(p + done, BIFFRECID_CONTINUE, uint16_t(n));
    }
}

void TXLSStream::BeginCONTINUEWrite(int maxRecSize)
{
    FMaxBytesWrite = maxRecSize;
    FWrittenBytes = 0;
    FWriteCONTINUEPos = int64_t(Pos());
}

// Fills the current record up to the limit, patches its length and goes on
// in a new CONTINUE record whose length is patched later.
void TXLSStream::ContinueWrite(const uint8_t* buffer, size_t count)
{
    while (count > 0) {
        if (FWrittenBytes + int64_t(count) <= FMaxBytesWrite) {
            RawWrite(buffer, count);
            FWrittenBytes += int64_t(count);
            return;
        }
        size_t fit = size_t(FMaxBytesWrite - FWrittenBytes);
        Seek(FWriteCONTINUEPos + 2, soFromBeginning);
        WWord(uint16_t(FMaxBytesWrite));
        Seek(0, soFromEnd);
        RawWrite(buffer, fit);
        buffer += fit;
        count -= fit;
        FWriteCONTINUEPos = int64_t(Pos());
        WriteHeader(BIFFRECID_CONTINUE, 0);
        FWrittenBytes = 0;
    }
}

void TXLSStream::EndCONTINUEWrite()
{
    if (FWrittenBytes > 0) {
        Seek(FWriteCONTINUEPos + 2, soFromBeginning);
        WWord(uint16_t(FWrittenBytes));
        Seek(0, soFromEnd);
    }
    FMaxBytesWrite = -1;
}

uint16_t TXLSStream::PeekHeader()
{
    if (const uint8_t* h = Stream().Peek(4)) return GetU16(h);
    uint8_t h[4] = {};
    size_t n = RawRead(h, 4);
    if (n > 0) Seek(-int64_t(n), soFromCurrent);
    return n == 4 ? GetU16(h) : 0;
}

// Reads across record boundaries: every record of a chain but the last is
// taken to carry exactly 8224 bytes, the next header must continue it.
size_t TXLSStream::ContinueRead(uint8_t* buffer, size_t count)
{
    size_t total = 0;
    while (count > 0) {
        size_t room = size_t(kMaxRecordBody97 - std::min<int64_t>(FReadCONTINUEPos, kMaxRecordBody97));
        size_t n = RawRead(buffer, std::min(count, room));
        FReadCONTINUEPos += int64_t(n);
        total += n;
        buffer += n;
        count -= n;
        if (count == 0 || n < room) return total;
        TBIFFHeader header;
        if (ReadHeader(header) < 4) throw EXLSError("CONTINUE record is missing");
        uint16_t id = header.RecID;
        if (id != BIFFRECID_CONTINUE && id != BIFFRECID_MSODRAWINGGROUP && id != BIFFRECID_CONTINUEFRT &&
            id != BIFFRECID_CONTINUEFRT12)
            throw EXLSError("CONTINUE record is missing");
        FReadCONTINUEPos = 0;
        // A CONTINUEFRT body starts with its own 4-byte record header, which is not data.
        if (id == BIFFRECID_CONTINUEFRT) {
            uint8_t frt[4];
            FReadCONTINUEPos = int64_t(RawRead(frt, 4));
        }
    }
    return total;
}

void TXLSStream::BeginCONTINUERead()
{
    if (FReadCONTINUEActive) throw EXLSError("CONTINUE read active");
    FReadCONTINUEActive = true;
    FReadCONTINUEPos = 0;
}

void TXLSStream::DecryptRest(TBIFFDecryptor& decryptor)
{
    TByteStream& stream = Stream();
    const uint64_t from = stream.Position();
    std::vector<uint8_t> bytes(size_t(stream.Size()));
    stream.Seek(0, soFromBeginning);
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    DecryptRecords(bytes, size_t(from), decryptor);
    stream.Seek(int64_t(from), soFromBeginning);
    stream.Write(bytes.data() + from, bytes.size() - size_t(from));
    stream.Seek(int64_t(from), soFromBeginning);
}

void TXLSStream::EndCONTINUERead()
{
    FReadCONTINUEActive = false;
    FReadCONTINUEPos = 0;
}

}  // namespace workbook
