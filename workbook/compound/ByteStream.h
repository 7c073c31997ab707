// Seekable byte streams over growable chunked memory. Compound-document
// streams and plain BIFF files are both held this way, so a large workbook
// stream grows without being copied and can be patched by seeking back.
//
// Bytes read from a file can instead be held as one read-only block shared
// with the file's buffer: opening a workbook then costs no copy of its
// streams, and a copy of a document shares them too. The first change to
// such bytes gives them chunks of their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace workbook {

// A block of bytes kept alive by Owner (a file's contents, a stream's bytes).
struct TSharedBytes {
    std::shared_ptr<const uint8_t[]> Owner;
    const uint8_t* Data = nullptr;
    size_t Size = 0;
};

// The whole file in one block, read with one call where the system allows.
// Fails with "Cannot open file "<path>". <reason>".
TSharedBytes ReadFileBytes(const std::filesystem::path& path);
// A block of its own holding a copy of count bytes.
TSharedBytes CopyBytes(const uint8_t* data, size_t count);

// Bytes in fixed 64 KB chunks; never relocates data on growth.
class TChunkedBytes {
public:
    static constexpr size_t kChunk = 64 * 1024;

    uint64_t Size() const { return FSize; }
    void Resize(uint64_t size);
    void ReadAt(uint64_t pos, void* dst, size_t count) const;
    void WriteAt(uint64_t pos, const void* src, size_t count);
    void Assign(const uint8_t* data, size_t count);
    // Holds the block read-only without copying it.
    void AssignShared(TSharedBytes bytes);
    // Takes other's bytes: shared when other holds them read-only, else copied.
    void CopyFrom(const TChunkedBytes& other);
    // All bytes as one block while they are held read-only; null otherwise.
    const uint8_t* Flat() const { return FFlat.Data; }
    std::vector<uint8_t> ToVector() const;
    // Calls sink(pointer, length) for each filled piece in order.
    template <class F> void ForEachPiece(F sink) const
    {
        if (FFlat.Data) {
            if (FSize) sink(FFlat.Data, size_t(FSize));
            return;
        }
        uint64_t left = FSize;
        for (const auto& chunk : FChunks) {
            if (left == 0) break;
            size_t n = left < kChunk ? size_t(left) : kChunk;
            sink(chunk.get(), n);
            left -= n;
        }
    }

private:
    // Gives read-only bytes chunks of their own before a change.
    void Unshare();

    std::vector<std::unique_ptr<uint8_t[]>> FChunks;
    uint64_t FSize = 0;
    TSharedBytes FFlat;
};

// Stream origins as the record layer uses them: 0 start, 1 current, 2 end.
enum TSeekOrigin { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };

// A position over a TChunkedBytes it does not own.
class TByteStream {
public:
    explicit TByteStream(TChunkedBytes& bytes) : FBytes(&bytes) {}
    uint64_t Size() const { return FBytes->Size(); }
    uint64_t Position() const { return FPos; }
    uint64_t Seek(int64_t offset, int origin);
    // Reads of read-only bytes are one copy, without a call (the record
    // reader makes two per record).
    size_t Read(void* dst, size_t count)
    {
        const uint8_t* flat = FBytes->Flat();
        uint64_t size = FBytes->Size();
        if (!flat || FPos >= size || count > size - FPos) return ReadPieces(dst, count);
        if (count) std::memcpy(dst, flat + FPos, count);
        FPos += count;
        return count;
    }
    // The next count bytes in place, when they are present and held as one
    // read-only block; null otherwise. The position does not move.
    const uint8_t* Peek(size_t count) const
    {
        const uint8_t* flat = FBytes->Flat();
        uint64_t size = FBytes->Size();
        return flat && FPos <= size && count <= size - FPos ? flat + FPos : nullptr;
    }
    // The bytes from the position to the end in place, when held as one
    // read-only block; null otherwise.
    const uint8_t* Rest(size_t& count) const
    {
        const uint8_t* flat = FBytes->Flat();
        uint64_t size = FBytes->Size();
        if (!flat || FPos > size) return nullptr;
        count = size_t(size - FPos);
        return flat + FPos;
    }
    // Moves the position count bytes on.
    void Skip(size_t count) { FPos += count; }
    void Write(const void* src, size_t count);
    void SetSize(uint64_t size);

private:
    size_t ReadPieces(void* dst, size_t count);

    TChunkedBytes* FBytes;
    uint64_t FPos = 0;
};

}  // namespace workbook
