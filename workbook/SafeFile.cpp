// Temporary file + fsync + rename: the old file survives any failed save.
#include "workbook/SafeFile.h"

#include "workbook/XLSError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace workbook {

namespace {

constexpr size_t kBufferSize = 256 * 1024;
long gFileWritesLeft = -1;
long gRecordWritesLeft = -1;

void CheckCounter(long& left)
{
    if (left < 0) return;
    if (left == 0) {
        left = -1;
        throw EXLSError("Simulated write failure");
    }
    --left;
}

std::string SystemReason() { return std::strerror(errno); }

// Owns the temporary file until it has been renamed into place.
class TTempFile {
public:
    explicit TTempFile(const std::filesystem::path& target)
    {
        FName = target.string() + ".tmp-XXXXXX";
        FFd = mkstemp(FName.data());
        if (FFd < 0) throw EXLSError("Cannot create file \"" + target.string() + "\". " + SystemReason());
        ApplyMode(target);
    }
    ~TTempFile()
    {
        if (FFd >= 0) close(FFd);
        if (!FRenamed) unlink(FName.c_str());
    }
    void Write(const void* data, size_t count)
    {
        const auto* p = static_cast<const char*>(data);
        off_t start = FWritten;
        FWritten += off_t(count);
        while (count > 0) {
            ssize_t n = ::write(FFd, p, count);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) throw EXLSError("Cannot write file \"" + FName + "\". " + SystemReason());
            p += n;
            count -= size_t(n);
        }
        // Starts writing these bytes out now, while the rest is made, so
        // the fsync before the rename has little left to wait for.
        sync_file_range(FFd, start, FWritten - start, SYNC_FILE_RANGE_WRITE);
    }
    void CommitAs(const std::filesystem::path& target)
    {
        if (fsync(FFd) != 0 || close(FFd) != 0) {
            FFd = -1;
            throw EXLSError("Cannot write file \"" + FName + "\". " + SystemReason());
        }
        FFd = -1;
        if (std::rename(FName.c_str(), target.c_str()) != 0)
            throw EXLSError("Cannot create file \"" + target.string() + "\". " + SystemReason());
        FRenamed = true;
    }

private:
    // mkstemp makes 0600 files; give the new file the old file's mode, or
    // the mode a newly created file would get under the current umask.
    void ApplyMode(const std::filesystem::path& target)
    {
        struct stat st {};
        mode_t mode;
        if (stat(target.c_str(), &st) == 0) {
            mode = st.st_mode & 07777;
        } else {
            mode_t mask = umask(0);
            umask(mask);
            mode = 0666 & ~mask;
        }
        fchmod(FFd, mode);
    }
    std::string FName;
    int FFd = -1;
    off_t FWritten = 0;
    bool FRenamed = false;
};

}  // namespace

void ReplaceFileAtomically(const std::filesystem::path& path, const std::function<void(const TByteSink&)>& produce)
{
    TTempFile temp(path);
    std::string buffer;
    buffer.reserve(kBufferSize);
    produce([&](const void* data, size_t count) {
        WriteFaults::CheckFileWrite();
        if (buffer.size() + count > kBufferSize) {
            temp.Write(buffer.data(), buffer.size());
            buffer.clear();
        }
        if (count >= kBufferSize)
            temp.Write(data, count);
        else
            buffer.append(static_cast<const char*>(data), count);
    });
    temp.Write(buffer.data(), buffer.size());
    temp.CommitAs(path);
}

namespace WriteFaults {
void FailFileWriteAfter(long count) { gFileWritesLeft = count; }
void FailRecordWriteAfter(long count) { gRecordWritesLeft = count; }
void Reset() { gFileWritesLeft = gRecordWritesLeft = -1; }
void CheckFileWrite() { CheckCounter(gFileWritesLeft); }
void CheckRecordWrite() { CheckCounter(gRecordWritesLeft); }
}  // namespace WriteFaults

}  // namespace workbook
