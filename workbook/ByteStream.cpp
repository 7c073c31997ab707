// Chunked memory and the stream position over it.
#include "workbook/ByteStream.h"

#include "workbook/XLSError.h"

#include <algorithm>
#include <cstring>

namespace workbook {

void TChunkedBytes::Resize(uint64_t size)
{
    size_t chunks = size_t((size + kChunk - 1) / kChunk);
    while (FChunks.size() < chunks) FChunks.push_back(std::make_unique<uint8_t[]>(kChunk));
    if (FChunks.size() > chunks) FChunks.resize(chunks);
    // Growing must read back as zeros even where a shrink left old bytes behind.
    if (size > FSize && FSize % kChunk != 0) {
        uint64_t end = std::min<uint64_t>(size, (FSize / kChunk + 1) * kChunk);
        std::memset(FChunks[FSize / kChunk].get() + FSize % kChunk, 0, size_t(end - FSize));
    }
    FSize = size;
}

void TChunkedBytes::ReadAt(uint64_t pos, void* dst, size_t count) const
{
    auto* out = static_cast<uint8_t*>(dst);
    while (count > 0) {
        size_t offset = size_t(pos % kChunk);
        size_t n = std::min(count, kChunk - offset);
        std::memcpy(out, FChunks[pos / kChunk].get() + offset, n);
        out += n;
        pos += n;
        count -= n;
    }
}

void TChunkedBytes::WriteAt(uint64_t pos, const void* src, size_t count)
{
    if (pos + count > FSize) Resize(pos + count);
    const auto* in = static_cast<const uint8_t*>(src);
    while (count > 0) {
        size_t offset = size_t(pos % kChunk);
        size_t n = std::min(count, kChunk - offset);
        std::memcpy(FChunks[pos / kChunk].get() + offset, in, n);
        in += n;
        pos += n;
        count -= n;
    }
}

void TChunkedBytes::Assign(const uint8_t* data, size_t count)
{
    Resize(0);
    WriteAt(0, data, count);
}

std::vector<uint8_t> TChunkedBytes::ToVector() const
{
    std::vector<uint8_t> out(static_cast<size_t>(FSize));
    if (FSize) ReadAt(0, out.data(), out.size());
    return out;
}

uint64_t TByteStream::Seek(int64_t offset, int origin)
{
    int64_t base = origin == soFromCurrent ? int64_t(FPos) : origin == soFromEnd ? int64_t(Size()) : 0;
    if (base + offset < 0) throw EXLSError("Seek before the start of the stream");
    FPos = uint64_t(base + offset);
    return FPos;
}

size_t TByteStream::Read(void* dst, size_t count)
{
    if (FPos >= Size()) return 0;
    size_t n = size_t(std::min<uint64_t>(count, Size() - FPos));
    FBytes->ReadAt(FPos, dst, n);
    FPos += n;
    return n;
}

void TByteStream::Write(const void* src, size_t count)
{
    if (FPos > Size()) FBytes->Resize(FPos);
    FBytes->WriteAt(FPos, src, count);
    FPos += count;
}

void TByteStream::SetSize(uint64_t size) { FBytes->Resize(size); }

}  // namespace workbook
