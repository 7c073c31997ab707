// Parsing a compound document with every structure checked before use: the
// sector chains (bounded by the file, never looping, never shared), the
// directory tree (no cycles, entries in range) and stream sizes (within their
// chains). Malformed input ends in an EXLSError, never a crash or a hang, and
// nothing is allocated beyond what the file itself can back.
#include "workbook/ByteOrder.h"
#include "workbook/compound/CompoundDocument.h"
#include "workbook/compound/CompoundFormat.h"
#include "workbook/XLSError.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace workbook {

using namespace cfb;

namespace {

[[noreturn]] void Invalid(const std::string& why) { throw EXLSError("Invalid compound document: " + why); }

// Owners of sectors, used to detect chains that loop or share a sector.
// clang-format off
enum : uint32_t { kFree = 0, kOwnerFat = 1, kOwnerDifat = 2, kOwnerDirectory = 3, kOwnerMiniFat = 4,
                  kOwnerMiniStream = 5, kFirstStreamOwner = 6 };
// clang-format on

}  // namespace

class TCompoundReader {
public:
    explicit TCompoundReader(TSharedBytes file) : FFile(std::move(file)), FData(FFile.Data), FSize(FFile.Size) {}
    TCompoundDocument Parse();

private:
    void ParseHeader();
    void LoadFat();
    std::vector<uint32_t> FatSectorList();
    std::vector<uint32_t> Chain(uint32_t start, const std::vector<uint32_t>& table, std::vector<uint32_t>& owners,
                                uint32_t owner, const char* what);
    const uint8_t* Sector(uint32_t s, std::vector<uint8_t>& scratch) const;
    std::vector<uint8_t> ReadChain(const std::vector<uint32_t>& chain, uint64_t size);
    TSharedBytes StreamBytes(const std::vector<uint32_t>& chain, uint64_t size);
    void LoadDirectory();
    void LoadMiniStream();
    void BuildTree(TCompoundEntry& root);
    std::unique_ptr<TCompoundEntry> MakeEntry(uint32_t index);
    void LoadStreamData(TCompoundEntry& entry, uint32_t index);
    const uint8_t* Dir(uint32_t index) const { return FDirectory.data() + size_t(index) * kDirEntrySize; }
    uint64_t EntrySize(uint32_t index) const;

    TSharedBytes FFile;
    const uint8_t* FData;
    size_t FSize;
    uint16_t FMajor = 3;
    uint32_t FSectorSize = 512;
    uint32_t FSectorCount = 0;
    std::vector<uint32_t> FFat, FMiniFat, FOwners, FMiniOwners;
    std::vector<uint8_t> FDirectory, FMiniStream;
    uint32_t FEntryCount = 0;
    uint32_t FNextOwner = kFirstStreamOwner;
};

void TCompoundReader::ParseHeader()
{
    if (FSize < kHeaderSize) Invalid("the file is shorter than its header");
    if (!TCompoundDocument::HasSignature(FData, FSize)) Invalid("bad signature");
    if (GetU16(FData + kOffByteOrder) != kByteOrder) Invalid("bad byte order mark");
    FMajor = GetU16(FData + kOffMajor);
    uint16_t shift = GetU16(FData + kOffSectorShift);
    if (!((FMajor == 3 && shift == 9) || (FMajor == 4 && shift == 12)))
        Invalid(FormatText("unsupported version %u with sector shift %u", FMajor, shift));
    if (GetU16(FData + kOffMiniShift) != 6) Invalid("mini sector size is not 64 bytes");
    if (GetU32(FData + kOffCutoff) != kMiniStreamCutoff) Invalid("mini stream cutoff is not 4096");
    FSectorSize = 1u << shift;
    if (FSize <= FSectorSize) Invalid("the file holds no sectors");
    // A partial last sector is accepted and reads as zero-padded.
    FSectorCount = uint32_t(std::min<uint64_t>((FSize - FSectorSize + FSectorSize - 1) / FSectorSize, MAXREGSECT));
    FOwners.assign(FSectorCount, kFree);
}

const uint8_t* TCompoundReader::Sector(uint32_t s, std::vector<uint8_t>& scratch) const
{
    uint64_t offset = uint64_t(s + 1) * FSectorSize;
    if (offset + FSectorSize <= FSize) return FData + offset;
    scratch.assign(FSectorSize, 0);
    std::copy(FData + offset, FData + FSize, scratch.begin());
    return scratch.data();
}

std::vector<uint32_t> TCompoundReader::FatSectorList()
{
    uint32_t fatCount = GetU32(FData + kOffFatSectors);
    uint32_t difatCount = GetU32(FData + kOffDifatSectors);
    if (fatCount > FSectorCount) Invalid("more FAT sectors than the file holds");
    if (difatCount > FSectorCount) Invalid("more DIFAT sectors than the file holds");
    std::vector<uint32_t> list;
    for (uint32_t i = 0; i < kHeaderDifatCount && list.size() < fatCount; ++i)
        list.push_back(GetU32(FData + kOffDifat + 4 * i));
    uint32_t next = GetU32(FData + kOffFirstDifat);
    const uint32_t perSector = FSectorSize / 4 - 1;
    std::vector<uint8_t> scratch;
    for (uint32_t n = 0; list.size() < fatCount; ++n) {
        if (n >= difatCount || next >= FSectorCount) Invalid("the DIFAT chain ends before all FAT sectors are listed");
        if (FOwners[next] != kFree) Invalid("the DIFAT chain loops");
        FOwners[next] = kOwnerDifat;
        const uint8_t* p = Sector(next, scratch);
        for (uint32_t i = 0; i < perSector && list.size() < fatCount; ++i) list.push_back(GetU32(p + 4 * i));
        next = GetU32(p + 4 * perSector);
    }
    return list;
}

void TCompoundReader::LoadFat()
{
    std::vector<uint32_t> sectors = FatSectorList();
    std::vector<uint8_t> scratch;
    FFat.reserve(sectors.size() * (FSectorSize / 4));
    for (uint32_t s : sectors) {
        if (s >= FSectorCount) Invalid(FormatText("FAT sector %u lies outside the file", s));
        if (FOwners[s] != kFree) Invalid(FormatText("FAT sector %u is listed twice", s));
        FOwners[s] = kOwnerFat;
        const uint8_t* p = Sector(s, scratch);
        for (uint32_t i = 0; i < FSectorSize / 4; ++i) FFat.push_back(GetU32(p + 4 * i));
    }
}

std::vector<uint32_t> TCompoundReader::Chain(uint32_t start, const std::vector<uint32_t>& table,
                                             std::vector<uint32_t>& owners, uint32_t owner, const char* what)
{
    std::vector<uint32_t> chain;
    for (uint32_t s = start; s != ENDOFCHAIN; s = table[s]) {
        if (s > MAXREGSECT) Invalid(FormatText("the sector chain of %s is broken (entry %08X)", what, s));
        if (s >= owners.size() || s >= table.size())
            Invalid(FormatText("the sector chain of %s leaves the file (sector %u)", what, s));
        if (owners[s] == owner) Invalid(FormatText("the sector chain of %s loops", what));
        if (owners[s] != kFree)
            Invalid(FormatText("the sector chain of %s shares sector %u with another chain", what, s));
        owners[s] = owner;
        chain.push_back(s);
    }
    return chain;
}

std::vector<uint8_t> TCompoundReader::ReadChain(const std::vector<uint32_t>& chain, uint64_t size)
{
    if (size > uint64_t(chain.size()) * FSectorSize) Invalid("a stream is larger than its sector chain");
    std::vector<uint8_t> out;
    out.reserve(size_t(size));
    std::vector<uint8_t> scratch;
    for (uint32_t s : chain) {
        if (out.size() >= size) break;
        const uint8_t* p = Sector(s, scratch);
        size_t n = size_t(std::min<uint64_t>(FSectorSize, size - out.size()));
        out.insert(out.end(), p, p + n);
    }
    return out;
}

// A stream in consecutive sectors wholly inside a file the document keeps is
// used in place; any other is gathered into a block of its own.
TSharedBytes TCompoundReader::StreamBytes(const std::vector<uint32_t>& chain, uint64_t size)
{
    if (size > uint64_t(chain.size()) * FSectorSize) Invalid("a stream is larger than its sector chain");
    bool consecutive = true;
    for (size_t i = 1; i < chain.size() && consecutive; ++i) consecutive = chain[i] == chain[i - 1] + 1;
    uint64_t offset = chain.empty() ? 0 : uint64_t(chain[0] + 1) * FSectorSize;
    if (FFile.Owner && consecutive && offset + size <= FSize) return {FFile.Owner, FData + offset, size_t(size)};
    std::shared_ptr<uint8_t[]> block(new uint8_t[size_t(size)]);
    std::vector<uint8_t> scratch;
    uint64_t done = 0;
    for (uint32_t s : chain) {
        if (done >= size) break;
        size_t n = size_t(std::min<uint64_t>(FSectorSize, size - done));
        std::memcpy(block.get() + done, Sector(s, scratch), n);
        done += n;
    }
    TSharedBytes bytes{std::move(block), nullptr, size_t(size)};
    bytes.Data = bytes.Owner.get();
    return bytes;
}

void TCompoundReader::LoadDirectory()
{
    auto chain = Chain(GetU32(FData + kOffFirstDir), FFat, FOwners, kOwnerDirectory, "the directory");
    if (chain.empty()) Invalid("the directory is empty");
    FDirectory = ReadChain(chain, uint64_t(chain.size()) * FSectorSize);
    FEntryCount = uint32_t(FDirectory.size() / kDirEntrySize);
    if (Dir(0)[kEntType] != uint8_t(TEntryType::Root)) Invalid("the first directory entry is not the root");
}

uint64_t TCompoundReader::EntrySize(uint32_t index) const
{
    // Version 3 writers may leave garbage in the high half; only the low half counts.
    uint64_t size = GetU64(Dir(index) + kEntSize);
    return FMajor == 3 ? (size & 0xFFFFFFFFu) : size;
}

void TCompoundReader::LoadMiniStream()
{
    uint32_t miniFatCount = GetU32(FData + kOffMiniFatSectors);
    uint32_t firstMiniFat = GetU32(FData + kOffFirstMiniFat);
    auto miniFatChain = miniFatCount == 0 && (firstMiniFat == ENDOFCHAIN || firstMiniFat == FREESECT)
                            ? std::vector<uint32_t>{}
                            : Chain(firstMiniFat, FFat, FOwners, kOwnerMiniFat, "the mini FAT");
    auto bytes = ReadChain(miniFatChain, uint64_t(miniFatChain.size()) * FSectorSize);
    FMiniFat.resize(bytes.size() / 4);
    for (size_t i = 0; i < FMiniFat.size(); ++i) FMiniFat[i] = GetU32(bytes.data() + 4 * i);

    uint64_t rootSize = EntrySize(0);
    uint32_t rootStart = GetU32(Dir(0) + kEntStart);
    if (rootSize == 0 || rootStart == ENDOFCHAIN) return;
    auto chain = Chain(rootStart, FFat, FOwners, kOwnerMiniStream, "the mini stream");
    FMiniStream = ReadChain(chain, rootSize);
    FMiniOwners.assign(size_t((rootSize + kMiniSectorSize - 1) / kMiniSectorSize), kFree);
}

void TCompoundReader::LoadStreamData(TCompoundEntry& entry, uint32_t index)
{
    uint64_t size = EntrySize(index);
    uint32_t start = GetU32(Dir(index) + kEntStart);
    if (size == 0) return;
    uint32_t owner = FNextOwner++;
    std::string what = "stream \"" + std::string(entry.Name.begin(), entry.Name.end()) + "\"";
    for (char& c : what) c = (c >= 0x20 && c < 0x7F) ? c : '?';
    if (size >= kMiniStreamCutoff) {
        entry.Data.AssignShared(StreamBytes(Chain(start, FFat, FOwners, owner, what.c_str()), size));
        return;
    }
    auto chain = Chain(start, FMiniFat, FMiniOwners, owner, what.c_str());
    if (size > uint64_t(chain.size()) * kMiniSectorSize) Invalid("a stream is larger than its mini sector chain");
    std::vector<uint8_t> bytes;
    bytes.reserve(size_t(size));
    for (uint32_t s : chain) {
        if (bytes.size() >= size) break;
        size_t offset = size_t(s) * kMiniSectorSize;
        size_t available = FMiniStream.size() - std::min(offset, FMiniStream.size());
        size_t n = size_t(std::min<uint64_t>(std::min<uint64_t>(kMiniSectorSize, size - bytes.size()), available));
        if (n == 0) Invalid("a mini sector lies outside the mini stream");
        bytes.insert(bytes.end(), FMiniStream.data() + offset, FMiniStream.data() + offset + n);
    }
    if (bytes.size() < size) Invalid("a stream is larger than its mini sector chain");
    entry.Data.AssignShared(CopyBytes(bytes.data(), bytes.size()));
}

std::unique_ptr<TCompoundEntry> TCompoundReader::MakeEntry(uint32_t index)
{
    const uint8_t* d = Dir(index);
    auto entry = std::make_unique<TCompoundEntry>();
    uint16_t nameLen = GetU16(d + kEntNameLen);
    if (nameLen > 64 || nameLen % 2 != 0) Invalid(FormatText("directory entry %u has a bad name length", index));
    for (unsigned i = 0; i + 2 < nameLen; i += 2) entry->Name += char16_t(GetU16(d + i));
    uint8_t type = d[kEntType];
    if (type != uint8_t(TEntryType::Storage) && type != uint8_t(TEntryType::Stream))
        Invalid(FormatText("directory entry %u of type %u is linked into the tree", index, type));
    entry->Type = TEntryType(type);
    std::copy(d + kEntClsid, d + kEntClsid + 16, entry->Clsid.begin());
    entry->StateBits = GetU32(d + kEntState);
    entry->CreationTime = GetU64(d + kEntCreated);
    entry->ModifiedTime = GetU64(d + kEntModified);
    if (entry->Type == TEntryType::Stream) LoadStreamData(*entry, index);
    return entry;
}

// Walks every storage's sibling tree without recursion; an entry reached a
// second time means the tree has a cycle or shares a subtree.
void TCompoundReader::BuildTree(TCompoundEntry& root)
{
    std::vector<bool> seen(FEntryCount, false);
    seen[0] = true;
    std::vector<std::pair<uint32_t, TCompoundEntry*>> storages{{0, &root}};
    while (!storages.empty()) {
        auto [storageIndex, storage] = storages.back();
        storages.pop_back();
        std::vector<uint32_t> pending{GetU32(Dir(storageIndex) + kEntChild)};
        while (!pending.empty()) {
            uint32_t i = pending.back();
            pending.pop_back();
            if (i == NOSTREAM) continue;
            if (i >= FEntryCount) Invalid(FormatText("directory link %u points outside the directory", i));
            if (seen[i]) Invalid("the directory tree has a cycle");
            seen[i] = true;
            pending.push_back(GetU32(Dir(i) + kEntLeft));
            pending.push_back(GetU32(Dir(i) + kEntRight));
            auto entry = MakeEntry(i);
            if (entry->IsStorage()) storages.emplace_back(i, entry.get());
            storage->Children.push_back(std::move(entry));
        }
        auto& children = storage->Children;
        std::sort(children.begin(), children.end(),
                  [](const auto& a, const auto& b) { return CompareEntryNames(a->Name, b->Name) < 0; });
        for (size_t k = 1; k < children.size(); ++k)
            if (CompareEntryNames(children[k - 1]->Name, children[k]->Name) == 0)
                Invalid("two entries of one storage have the same name");
    }
}

TCompoundDocument TCompoundReader::Parse()
{
    ParseHeader();
    LoadFat();
    LoadDirectory();
    LoadMiniStream();
    TCompoundDocument doc;
    doc.FMajorVersion = FMajor;
    const uint8_t* r = Dir(0);
    std::copy(r + kEntClsid, r + kEntClsid + 16, doc.FRoot->Clsid.begin());
    doc.FRoot->StateBits = GetU32(r + kEntState);
    BuildTree(*doc.FRoot);
    return doc;
}

TCompoundDocument TCompoundDocument::OpenShared(TSharedBytes bytes)
{
    return TCompoundReader(std::move(bytes)).Parse();
}

// The caller keeps its memory, so every stream is copied out of it.
TCompoundDocument TCompoundDocument::OpenMemory(const uint8_t* data, size_t size)
{
    return TCompoundReader(TSharedBytes{nullptr, data, size}).Parse();
}

TCompoundDocument TCompoundDocument::OpenFile(const std::filesystem::path& path)
{
    return OpenShared(ReadFileBytes(path));
}

bool TCompoundDocument::HasSignature(const uint8_t* data, size_t size)
{
    return size >= 8 && std::equal(data, data + 8, kSignature);
}

bool TCompoundDocument::IsCompoundFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    uint8_t head[8] = {};
    in.read(reinterpret_cast<char*>(head), 8);
    return in.gcount() == 8 && HasSignature(head, 8);
}

}  // namespace workbook
