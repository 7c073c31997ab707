// Read-only access to the zip container of an Office Open XML package: entry
// lookup by normalised, case-insensitive name and extraction of stored and
// deflated entries, with a size limit per entry against zip bombs.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct zip;
struct zip_file;

namespace workbook {

// Every failure of the container: not a zip file, damaged, refused or oversized entries.
class EZipError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TZipContainer {
public:
    // The largest uncompressed size accepted for one entry: kMaxInflateRatio
    // times the package's size, at least kMinEntryLimit and at most
    // kMaxEntrySize. Real parts of XML compress some 5 to 50 times, so a
    // small package that claims hundreds of megabytes is refused before
    // anything is inflated.
    static constexpr std::uint64_t kMaxEntrySize = 512ull * 1024 * 1024;
    static constexpr std::uint64_t kMinEntryLimit = 32ull * 1024 * 1024;
    static constexpr std::uint64_t kMaxInflateRatio = 200;
    std::uint64_t EntryLimit() const;

    // Opens the zip container held in these bytes; throws EZipError when they are none.
    explicit TZipContainer(std::string bytes);
    static TZipContainer FromStream(std::istream& in);
    TZipContainer(TZipContainer&&) noexcept;
    TZipContainer& operator=(TZipContainer&&) noexcept;
    ~TZipContainer();

    // True when the bytes start like a compound document, which is what an
    // encrypted package or an Excel 97-2003 file is.
    static bool IsCompoundDocument(std::string_view bytes);
    // The name as the lookup compares it: "\" as "/", drive and share prefixes
    // and a leading "/" removed, ASCII letters lower-cased.
    static std::string NormalisedName(std::string_view name);

    int Count() const { return static_cast<int>(FNames.size()); }
    // The entry name as stored (UTF-8).
    const std::string& Name(int index) const { return FNames.at(index); }
    // Position of the entry with this name, or -1.
    int Find(std::string_view name) const;
    // The entry's uncompressed bytes. Throws EZipError for compression methods
    // other than stored and deflate, for encrypted, damaged and oversized entries.
    std::string Extract(int index) const;
    // The whole container as it was opened.
    const std::string& Bytes() const { return *FBytes; }
    // Closes the container and hands over its bytes without copying them.
    std::string TakeBytes() &&;

    // One entry's uncompressed bytes read piece by piece, with the checks of
    // Extract; the container must outlive it, and while it reads, nothing
    // else may read from the same container (it may be another thread).
    class TEntryReader {
    public:
        TEntryReader(const TZipContainer& zip, int index);  // throws EZipError as Extract does
        TEntryReader(const TEntryReader&) = delete;
        TEntryReader& operator=(const TEntryReader&) = delete;
        ~TEntryReader();
        std::uint64_t DeclaredSize() const { return FSize; }
        // The size a first buffer needs: the declared one, or less when the
        // compressed bytes cannot inflate that far.
        std::size_t PlausibleSize() const;
        // Up to max further bytes into to; 0 at the end of the entry.
        std::size_t Read(char* to, std::size_t max);
        // Checks, after `got` bytes were read, that the entry ends exactly at its declared size.
        void CheckEnd(std::uint64_t got);
        // All bytes of the entry, checked.
        std::string ReadAll();

    private:
        const std::string& FName;
        std::uint64_t FSize = 0, FCompressedSize = 0;
        ::zip_file* FFile = nullptr;
    };

private:
    struct TArchiveCloser {
        void operator()(zip* archive) const;
    };

    std::unique_ptr<std::string> FBytes;  // kept at a fixed address for the archive
    std::unique_ptr<zip, TArchiveCloser> FArchive;
    std::vector<std::string> FNames;
    std::unordered_map<std::string, int> FIndex;  // normalised name -> first entry
};

}  // namespace workbook
