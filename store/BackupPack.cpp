#include "store/BackupPack.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "store/Connection.h"

namespace fs = std::filesystem;

namespace store {
namespace {

constexpr std::size_t kChunk = 256 * 1024;
constexpr int kGzipWindow = 15 + 16;  // zlib's window bits asking for the gzip wrapper
constexpr int kMemLevel = 8;          // zlib's default
constexpr unsigned char kOsUnix = 3;  // gzip header OS field

// Level 1 of 9: on a 146 MB shop database the copy comes out about a tenth
// larger than at the default level 6 (28.0 against 25.1 MB, a fifth of the
// database) in under half the time; measured with gzip -1 and -6 beside the
// backup in bench/app/bench_backup.cpp.
constexpr int kLevel = 1;

// An stdio file closed at scope end. Close() flushes and syncs a written file
// and reports what the buffers held back (a full disk shows there).
class File {
public:
    File(std::string path, const char* mode) : FPath(std::move(path)), F(std::fopen(FPath.c_str(), mode))
    {
        if (!F) throw StoreError("无法打开 " + FPath + ": " + std::strerror(errno));
    }
    ~File()
    {
        if (F) std::fclose(F);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    std::size_t Read(unsigned char* buf, std::size_t n)
    {
        std::size_t got = std::fread(buf, 1, n, F);
        if (got < n && std::ferror(F)) throw StoreError("无法读取 " + FPath + ": " + std::strerror(errno));
        return got;
    }
    void Write(const unsigned char* buf, std::size_t n)
    {
        if (n && std::fwrite(buf, 1, n, F) != n) throw StoreError("无法写入 " + FPath + ": " + std::strerror(errno));
    }
    void Close()
    {
        std::FILE* f = std::exchange(F, nullptr);
        bool ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0;
        int error = errno;
        if (std::fclose(f) != 0 && ok) ok = false, error = errno;
        if (!ok) throw StoreError("无法写入 " + FPath + ": " + std::strerror(error));
    }

private:
    std::string FPath;
    std::FILE* F;
};

struct Deflater {
    z_stream z{};
    Deflater()
    {
        if (deflateInit2(&z, kLevel, Z_DEFLATED, kGzipWindow, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
            throw StoreError("压缩备份失败: 内存不足");
    }
    ~Deflater() { deflateEnd(&z); }
};

struct Inflater {
    z_stream z{};
    Inflater()
    {
        if (inflateInit2(&z, kGzipWindow) != Z_OK) throw StoreError("解压备份失败: 内存不足");
    }
    ~Inflater() { inflateEnd(&z); }
};

int Blocks(std::uintmax_t bytes) { return static_cast<int>((bytes + kChunk - 1) / kChunk); }

std::string NoteText(const PackedNote& note)
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "tallybrook goods=%" PRId64 " sales=%" PRId64, note.goods, note.salesLines);
    return buf;
}

std::string Problem(const z_stream& z)
{
    return std::string("压缩数据已损坏 (") + (z.msg ? z.msg : "invalid data") + ")";
}

// Inflates one buffer of input; returns zlib's last code, or Z_DATA_ERROR.
int InflateInput(Inflater& inf, std::vector<unsigned char>& outBuf, File* out)
{
    int rc;
    do {
        inf.z.next_out = outBuf.data();
        inf.z.avail_out = static_cast<uInt>(outBuf.size());
        rc = inflate(&inf.z, Z_NO_FLUSH);
        if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR || rc == Z_MEM_ERROR || rc == Z_STREAM_ERROR) return Z_DATA_ERROR;
        if (out) out->Write(outBuf.data(), outBuf.size() - inf.z.avail_out);
    } while (inf.z.avail_out == 0 && rc != Z_STREAM_END);
    return rc;
}

}  // namespace

bool IsPackedName(const std::string& path) { return path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0; }

void PackFile(const std::string& from, const std::string& to, const PackedNote& note, const BackupProgress& progress)
{
    File in(from, "rb");
    File out(to, "wb");
    const std::uintmax_t total = fs::file_size(from);
    Deflater d;
    std::string comment = NoteText(note);
    gz_header head{};
    head.comment = reinterpret_cast<Bytef*>(comment.data());
    head.os = kOsUnix;
    deflateSetHeader(&d.z, &head);
    std::vector<unsigned char> inBuf(kChunk), outBuf(kChunk);
    std::uintmax_t done = 0;
    int flush = Z_NO_FLUSH;
    while (flush != Z_FINISH) {
        std::size_t n = in.Read(inBuf.data(), kChunk);
        done += n;
        flush = n < kChunk ? Z_FINISH : Z_NO_FLUSH;
        d.z.next_in = inBuf.data();
        d.z.avail_in = static_cast<uInt>(n);
        do {
            d.z.next_out = outBuf.data();
            d.z.avail_out = static_cast<uInt>(kChunk);
            deflate(&d.z, flush);
            out.Write(outBuf.data(), kChunk - d.z.avail_out);
        } while (d.z.avail_out == 0);
        if (progress) progress(Blocks(total - std::min(done, total)), Blocks(total));
    }
    out.Close();
}

std::string UnpackFile(const std::string& from, const std::string& to, const BackupProgress& progress)
{
    File in(from, "rb");
    std::optional<File> out;
    if (!to.empty()) out.emplace(to, "wb");
    const std::uintmax_t total = fs::file_size(from);
    Inflater inf;
    std::vector<unsigned char> inBuf(kChunk), outBuf(kChunk);
    std::uintmax_t done = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        std::size_t n = in.Read(inBuf.data(), kChunk);
        if (n == 0) return "压缩数据不完整, 文件在数据结束之前就断了 (unexpected end of file)";
        done += n;
        inf.z.next_in = inBuf.data();
        inf.z.avail_in = static_cast<uInt>(n);
        rc = InflateInput(inf, outBuf, out ? &*out : nullptr);
        if (rc == Z_DATA_ERROR) return Problem(inf.z);
        if (progress) progress(Blocks(total - std::min(done, total)), Blocks(total));
    }
    unsigned char extra;
    if (inf.z.avail_in > 0 || in.Read(&extra, 1) > 0)
        return "压缩数据之后还有多余的内容, 文件可能被改动过 (trailing data)";
    if (out) out->Close();
    return "ok";
}

PackedNote ReadPackedNote(const std::string& file)
{
    PackedNote note;
    try {
        File in(file, "rb");
        Inflater inf;
        char comment[128] = {};
        gz_header head{};
        head.comment = reinterpret_cast<Bytef*>(comment);
        head.comm_max = sizeof comment - 1;
        inflateGetHeader(&inf.z, &head);
        std::vector<unsigned char> inBuf(4096), outBuf(4096);
        inf.z.next_in = inBuf.data();
        inf.z.avail_in = static_cast<uInt>(in.Read(inBuf.data(), inBuf.size()));
        inf.z.next_out = outBuf.data();
        inf.z.avail_out = static_cast<uInt>(outBuf.size());
        inflate(&inf.z, Z_BLOCK);  // stops after the header
        if (head.done == 1)
            std::sscanf(comment, "tallybrook goods=%" SCNd64 " sales=%" SCNd64, &note.goods, &note.salesLines);
    } catch (const StoreError&) {
    }
    return note;
}

}  // namespace store
