// The BIFF record stream: record-level reading and writing of the workbook
// stream inside a compound document ("Workbook" for BIFF8, "Book" for BIFF5)
// or of a plain BIFF2-4 file. Records are a 4-byte header (16-bit type,
// 16-bit body length, little-endian) and a body of at most 8224 bytes; longer
// bodies continue in CONTINUE records.
//
// Writes are built in memory and reach the file only in CloseStorage, by
// replacing the file atomically: a write that fails (or an object destroyed
// without CloseStorage) leaves the previous file untouched.
#pragma once

#include "workbook/compound/CompoundDocument.h"
#include "workbook/XLSTypes.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace workbook {

constexpr uint16_t BIFFRECID_CONTINUE = 0x003C;
constexpr uint16_t BIFFRECID_MSODRAWINGGROUP = 0x00EB;
constexpr uint16_t BIFFRECID_CONTINUEFRT = 0x0866;
constexpr uint16_t BIFFRECID_CONTINUEFRT12 = 0x1066;
constexpr int kMaxRecordBody97 = 8224;
constexpr int kMaxRecordBody50 = 2080;

struct TBIFFHeader {
    uint16_t RecID = 0;
    uint16_t Length = 0;
};

// The component's saved copy of the whole compound document last read, so
// the next write keeps its other streams and storages.
class TExtraObjects {
public:
    bool HasData() const { return FSavedStorage != nullptr; }
    TCompoundDocument* SavedStorage() const { return FSavedStorage.get(); }
    void SetSavedStorage(std::unique_ptr<TCompoundDocument> doc) { FSavedStorage = std::move(doc); }
    void Clear() { FSavedStorage.reset(); }

private:
    std::unique_ptr<TCompoundDocument> FSavedStorage;
};

class TBIFFDecryptor;

class TXLSStream {
public:
    TXLSStream();
    ~TXLSStream();
    TXLSStream(const TXLSStream&) = delete;
    TXLSStream& operator=(const TXLSStream&) = delete;

    // Optional memory source/target instead of a file (the caller keeps them alive).
    void SetSourceStream(const std::vector<uint8_t>* source) { FSourceStream = source; }
    void SetTargetStream(std::vector<uint8_t>* target) { FTargetStream = target; }
    void SetExtraObjects(TExtraObjects* extra) { FExtraObjects = extra; }
    void SetSaveVBA(bool save) { FSaveVBA = save; }

    TExcelVersion OpenStorageRead(const std::u16string& filename);
    void OpenStorageWrite(const std::u16string& filename, TExcelVersion version);
    // Finishes what is open: a write is saved to its file or target here.
    void CloseStorage();
    // Drops what is open; a write in progress is discarded.
    void AbandonStorage();

    TExcelVersion FileVersion() const { return FFileVersion; }
    uint64_t StreamSize() const { return FStreamSize; }

    void WriteHeader(uint16_t recID, uint16_t length);
    void WriteBufHeader(const void* buffer, uint16_t recID, uint16_t length);
    void WriteWord(uint16_t recID, uint16_t value);
    size_t Write(const void* buffer, size_t count);
    void WWord(uint16_t value);
    void WByte(uint8_t value);
    void WLWord(uint32_t value);
    void WriteWideString(const std::u16string& text, bool writeLen);
    void WriteCONTINUE(uint16_t recID, const void* buffer, size_t count);
    void BeginCONTINUEWrite(int maxRecSize);
    void EndCONTINUEWrite();
    uint64_t Seek(int64_t offset, int origin);
    uint64_t Pos() { return Seek(0, soFromCurrent); }

    // Headers are never encrypted nor part of a CONTINUE read.
    size_t ReadHeader(TBIFFHeader& header)
    {
        uint8_t h[4] = {};
        size_t n = RawRead(h, 4);
        header.RecID = uint16_t(h[0] | (h[1] << 8));
        header.Length = uint16_t(h[2] | (h[3] << 8));
        return n;
    }
    size_t Read(void* buffer, size_t count)
    {
        if (!FReadCONTINUEActive) return RawRead(buffer, count);
        return ContinueRead(static_cast<uint8_t*>(buffer), count);
    }
    // The next count bytes of the stream in place, when it holds them as one
    // read-only block (a file just opened); null otherwise. Does not move.
    const uint8_t* Peek(size_t count) { return Stream().Peek(count); }
    // All bytes from the position on, in place, under the same condition.
    const uint8_t* PeekRest(size_t& available) { return Stream().Rest(available); }
    uint64_t Position() { return Stream().Position(); }
    void Skip(size_t count) { Stream().Skip(count); }
    uint16_t PeekHeader();
    // Decrypts every record body from the position to the end of the stream
    // (the records after FILEPASS); reading then goes on in clear.
    void DecryptRest(TBIFFDecryptor& decryptor);
    void BeginCONTINUERead();
    void EndCONTINUERead();
    void ResetCONTINUERead() { FReadCONTINUEPos = 0; }

private:
    void OpenCompoundRead(TCompoundDocument document);
    void OpenPlainRead(TSharedBytes bytes);
    void RawWrite(const void* buffer, size_t count);
    size_t RawRead(void* buffer, size_t count) { return Stream().Read(buffer, count); }
    size_t ContinueRead(uint8_t* buffer, size_t count);
    void ContinueWrite(const uint8_t* buffer, size_t count);
    TByteStream& Stream()
    {
        if (!FActive) NotOpen();
        return *FActive;
    }
    [[noreturn]] void NotOpen() const;

    std::unique_ptr<TCompoundDocument> OleStorage;
    std::optional<TByteStream> OleStream;
    std::vector<uint8_t>* FTargetStream = nullptr;
    const std::vector<uint8_t>* FSourceStream = nullptr;
    TExtraObjects* FExtraObjects = nullptr;
    TExcelVersion FFileVersion = xvNone;
    std::unique_ptr<TChunkedBytes> FPlainBytes;
    std::optional<TByteStream> FStream;
    TByteStream* FActive = nullptr;  // FStream or OleStream, whichever is open
    uint64_t FStreamSize = 0;
    int64_t FWrittenBytes = 0;
    int64_t FWriteCONTINUEPos = -1;
    int64_t FReadCONTINUEPos = 0;
    bool FReadCONTINUEActive = false;
    int FMaxBytesWrite = -1;
    bool FSaveVBA = false;
    bool FWriting = false;
    std::u16string FFilename;
};

}  // namespace workbook
