// The zip layer of the package reader, over libzip reading from memory.
#include "workbook/xlsx/ZipContainer.h"

#include <zip.h>

#include <algorithm>
#include <istream>
#include <iterator>

namespace workbook {

namespace {

constexpr char kCompoundSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::size_t kReadChunk = 64 * 1024;
// Deflate cannot expand more than about 1032 to 1; used to size the first buffer.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Closes libzip's error record on every path.
struct TZipErrorRecord {
    zip_error_t error;
    TZipErrorRecord() { zip_error_init(&error); }
    ~TZipErrorRecord() { zip_error_fini(&error); }
    std::string Text() { return zip_error_strerror(&error); }
};

std::string CannotProcess(const std::string& name) { return "Cannot process this file: " + name + " "; }

zip_t* OpenArchive(const std::string& bytes)
{
    // libzip takes no bytes at all for an empty archive; a file must hold at least its end record.
    if (bytes.empty()) throw EZipError("Not a zip package: the file is empty");
    if (TZipContainer::IsCompoundDocument(bytes))
        throw EZipError("Not a zip package: the file is a compound document "
                        "(an encrypted workbook or an Excel 97-2003 file)");
    TZipErrorRecord err;
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err.error);
    if (source == nullptr) throw EZipError("Not a zip package: " + err.Text());
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &err.error);
    if (archive == nullptr) {
        zip_source_free(source);
        throw EZipError("Not a zip package: " + err.Text());
    }
    return archive;
}

std::string StripPrefixes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    if (const auto drive = name.find(":/"); drive != std::string::npos) name.erase(0, drive + 2);
    if (name.rfind("//", 0) == 0) {  // //server/share/
        const auto server = name.find('/', 2);
        const auto share = server == std::string::npos ? server : name.find('/', server + 1);
        name.erase(0, share == std::string::npos ? name.size() : share + 1);
    }
    if (!name.empty() && name.front() == '/') name.erase(0, 1);
    return name;
}

}  // namespace

void TZipContainer::TArchiveCloser::operator()(zip* archive) const { zip_discard(archive); }

TZipContainer::TZipContainer(std::string bytes)
    : FBytes(std::make_unique<std::string>(std::move(bytes))), FArchive(OpenArchive(*FBytes))
{
    const zip_int64_t count = zip_get_num_entries(FArchive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(FArchive.get(), i, ZIP_FL_ENC_GUESS);
        FNames.emplace_back(name != nullptr ? name : "");
        FIndex.emplace(NormalisedName(FNames.back()), static_cast<int>(i));
    }
}

TZipContainer TZipContainer::FromStream(std::istream& in)
{
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return TZipContainer(std::move(bytes));
}

TZipContainer::TZipContainer(TZipContainer&&) noexcept = default;
TZipContainer& TZipContainer::operator=(TZipContainer&&) noexcept = default;
TZipContainer::~TZipContainer() = default;

bool TZipContainer::IsCompoundDocument(std::string_view bytes)
{
    return bytes.substr(0, 8) == std::string_view(kCompoundSignature, 8);
}

std::string TZipContainer::NormalisedName(std::string_view name)
{
    std::string result = StripPrefixes(std::string(name));
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

int TZipContainer::Find(std::string_view name) const
{
    const auto found = FIndex.find(NormalisedName(name));
    return found == FIndex.end() ? -1 : found->second;
}

std::uint64_t TZipContainer::EntryLimit() const
{
    return std::clamp<std::uint64_t>(FBytes->size() * kMaxInflateRatio, kMinEntryLimit, kMaxEntrySize);
}

std::string TZipContainer::TakeBytes() &&
{
    FArchive.reset();
    FNames.clear();
    FIndex.clear();
    return std::move(*FBytes);
}

TZipContainer::TEntryReader::TEntryReader(const TZipContainer& zip, int index) : FName(zip.Name(index))
{
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(zip.FArchive.get(), index, 0, &st) != 0) throw EZipError("Damaged zip entry: " + FName);
    if (st.encryption_method != ZIP_EM_NONE || (st.comp_method != ZIP_CM_STORE && st.comp_method != ZIP_CM_DEFLATE))
        throw EZipError(CannotProcess(FName));
    if (st.size > zip.EntryLimit())
        throw EZipError("Zip entry too large: " + FName + " declares " + std::to_string(st.size) +
                        " bytes uncompressed, more than the " + std::to_string(zip.EntryLimit()) +
                        " allowed for one part of this package of " + std::to_string(zip.Bytes().size()) + " bytes (" +
                        std::to_string(kMaxInflateRatio) + " times its size, at least 32 MiB, at most 512 MiB)");
    FSize = st.size;
    FCompressedSize = st.comp_size;
    FFile = zip_fopen_index(zip.FArchive.get(), index, 0);
    if (FFile == nullptr) throw EZipError(CannotProcess(FName) + zip_strerror(zip.FArchive.get()));
}

TZipContainer::TEntryReader::~TEntryReader() { zip_fclose(FFile); }

std::size_t TZipContainer::TEntryReader::PlausibleSize() const
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(FSize, FCompressedSize * kMaxDeflateRatio + kReadChunk));
}

std::size_t TZipContainer::TEntryReader::Read(char* to, std::size_t max)
{
    if (max == 0) return 0;
    const zip_int64_t n = zip_fread(FFile, to, max);
    if (n < 0) throw EZipError("Damaged zip entry: " + FName + " (" + zip_file_strerror(FFile) + ")");
    return static_cast<std::size_t>(n);
}

// An entry that yields bytes past its declared size is refused after one
// chunk more, so that one inflating without end takes no more memory; the
// read at the end is also where the checksum is compared.
void TZipContainer::TEntryReader::CheckEnd(std::uint64_t got)
{
    std::size_t more = 0;
    if (got == FSize) {
        char chunk[4096];
        more = Read(chunk, sizeof chunk);
    }
    if (got != FSize || more != 0)
        throw EZipError("Damaged zip entry: " + FName + " inflates to " + (more != 0 ? "more" : "fewer") +
                        " bytes than the " + std::to_string(FSize) + " it declares");
}

std::string TZipContainer::TEntryReader::ReadAll()
{
    std::string data(PlausibleSize(), '\0');
    std::size_t got = 0;
    while (got < FSize) {
        if (got == data.size()) data.resize(static_cast<std::size_t>(std::min<std::uint64_t>(FSize, data.size() * 2)));
        const std::size_t n = Read(data.data() + got, data.size() - got);
        if (n == 0) break;
        got += n;
    }
    data.resize(got);
    CheckEnd(got);
    return data;
}

std::string TZipContainer::Extract(int index) const { return TEntryReader(*this, index).ReadAll(); }

}  // namespace workbook
