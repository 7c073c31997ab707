// Chunked memory, shared read-only blocks and the stream position over them.
#include "workbook/compound/ByteStream.h"

#include "workbook/model/MemoryPool.h"
#include "workbook/XLSError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace workbook {

namespace {

struct TFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Room for the expected size plus one byte, so that a file that grew since
// its size was taken is noticed and read to its end.
size_t InitialCapacity(const std::filesystem::path& path)
{
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    return ec || size > (uintmax_t(1) << 40) ? 64 * 1024 : size_t(size) + 1;
}

// The buffer a file is read into: a large one in huge pages (see MapLarge),
// a small one from the heap.
struct TReadBlock {
    uint8_t* Data;
    size_t Capacity;

    explicit TReadBlock(size_t capacity) : Data(Allocate(capacity)), Capacity(capacity) {}
    ~TReadBlock() { Free(Data, Capacity); }
    TReadBlock(const TReadBlock&) = delete;
    TReadBlock& operator=(const TReadBlock&) = delete;
    friend void swap(TReadBlock& a, TReadBlock& b) noexcept
    {
        std::swap(a.Data, b.Data);
        std::swap(a.Capacity, b.Capacity);
    }
    uint8_t* Release() { return std::exchange(Data, nullptr); }

    static uint8_t* Allocate(size_t capacity)
    {
        if (capacity >= kHugePage) return static_cast<uint8_t*>(MapLarge(capacity));
        auto* p = static_cast<uint8_t*>(std::malloc(capacity));
        if (!p) throw std::bad_alloc();
        return p;
    }
    static void Free(const uint8_t* p, size_t capacity)
    {
        if (!p) return;
        if (capacity >= kHugePage)
            UnmapLarge(const_cast<uint8_t*>(p), capacity);
        else
            std::free(const_cast<uint8_t*>(p));
    }
};

// The open file being read. A pipe or device has no offsets: its bytes come
// in order, as they are asked for (the offset is then where reading stands).
struct TOpenFile {
    int Fd;
    bool Seekable;
    const std::filesystem::path& Path;
};

// Reads up to count bytes at offset at; fewer only at the file's end.
size_t ReadAt(const TOpenFile& f, uint8_t* to, size_t count, uint64_t at)
{
    size_t done = 0;
    while (done < count) {
        ssize_t n =
            f.Seekable ? pread(f.Fd, to + done, count - done, off_t(at + done)) : read(f.Fd, to + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EXLSError("Cannot read file \"" + f.Path.string() + "\". " + std::strerror(errno));
        if (n == 0) break;
        done += size_t(n);
    }
    return done;
}

}  // namespace

TSharedBytes ReadFileBytes(const std::filesystem::path& path)
{
    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) throw EXLSError("Cannot open file \"" + path.string() + "\". " + std::strerror(errno));
    struct stat st {};
    const int fd = fileno(file.get());
    const TOpenFile f{fd, fstat(fd, &st) == 0 && S_ISREG(st.st_mode), path};
    TReadBlock block(InitialCapacity(path));
    size_t size = ReadAt(f, block.Data, block.Capacity, 0);
    while (size == block.Capacity) {
        TReadBlock grown(2 * block.Capacity);
        std::memcpy(grown.Data, block.Data, size);
        swap(block, grown);
        size += ReadAt(f, block.Data + size, block.Capacity - size, size);
    }
    TSharedBytes bytes;
    bytes.Data = block.Data;
    bytes.Size = size;
    size_t capacity = block.Capacity;
    bytes.Owner = std::shared_ptr<const uint8_t[]>(block.Release(),
                                                   [capacity](const uint8_t* p) { TReadBlock::Free(p, capacity); });
    return bytes;
}

TSharedBytes CopyBytes(const uint8_t* data, size_t count)
{
    std::shared_ptr<uint8_t[]> block(new uint8_t[count ? count : 1]);
    if (count) std::memcpy(block.get(), data, count);
    TSharedBytes bytes;
    bytes.Data = block.get();
    bytes.Size = count;
    bytes.Owner = std::move(block);
    return bytes;
}

void TChunkedBytes::Unshare()
{
    if (!FFlat.Data) return;
    TSharedBytes flat = std::move(FFlat);
    FFlat = {};
    FChunks.clear();
    uint64_t size = FSize;
    FSize = 0;
    WriteAt(0, flat.Data, size_t(size));
}

void TChunkedBytes::AssignShared(TSharedBytes bytes)
{
    FChunks.clear();
    FSize = bytes.Size;
    FFlat = std::move(bytes);
}

void TChunkedBytes::CopyFrom(const TChunkedBytes& other)
{
    if (&other == this) return;
    if (other.FFlat.Data) {
        AssignShared(other.FFlat);
        return;
    }
    Resize(0);
    other.ForEachPiece([&](const uint8_t* p, size_t n) { WriteAt(FSize, p, n); });
}

void TChunkedBytes::Resize(uint64_t size)
{
    if (FFlat.Data) {
        if (size == 0) {
            FFlat = {};
            FSize = 0;
        }
        Unshare();
    }
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
    if (FFlat.Data) {
        if (count) std::memcpy(out, FFlat.Data + pos, count);
        return;
    }
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
    Unshare();
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

size_t TByteStream::ReadPieces(void* dst, size_t count)
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
