// Seekable byte streams over growable chunked memory. Compound-document
// streams and plain BIFF files are both held this way, so a large workbook
// stream grows without being copied and can be patched by seeking back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace workbook {

// Bytes in fixed 64 KB chunks; never relocates data on growth.
class TChunkedBytes {
public:
    static constexpr size_t kChunk = 64 * 1024;

    uint64_t Size() const { return FSize; }
    void Resize(uint64_t size);
    void ReadAt(uint64_t pos, void* dst, size_t count) const;
    void WriteAt(uint64_t pos, const void* src, size_t count);
    void Assign(const uint8_t* data, size_t count);
    std::vector<uint8_t> ToVector() const;
    // Calls sink(pointer, length) for each filled piece in order.
    template <class F> void ForEachPiece(F sink) const
    {
        uint64_t left = FSize;
        for (const auto& chunk : FChunks) {
            if (left == 0) break;
            size_t n = left < kChunk ? size_t(left) : kChunk;
            sink(chunk.get(), n);
            left -= n;
        }
    }

private:
    std::vector<std::unique_ptr<uint8_t[]>> FChunks;
    uint64_t FSize = 0;
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
    size_t Read(void* dst, size_t count);
    void Write(const void* src, size_t count);
    void SetSize(uint64_t size);

private:
    TChunkedBytes* FBytes;
    uint64_t FPos = 0;
};

}  // namespace workbook
