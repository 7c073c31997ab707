// Compound documents (the published compound file binary format): a small
// file system of storages and streams inside one file. Documents are held
// wholly in memory: opening parses and validates the whole file, saving
// serialises the tree as a version 3 document (512-byte sectors).
#pragma once

#include "workbook/compound/ByteStream.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace workbook {

enum class TEntryType : uint8_t { Unknown = 0, Storage = 1, Stream = 2, Root = 5 };

// One storage or stream of the tree. A storage owns its children; a stream
// owns its bytes.
struct TCompoundEntry {
    std::u16string Name;
    TEntryType Type = TEntryType::Stream;
    std::array<uint8_t, 16> Clsid{};
    uint32_t StateBits = 0;
    uint64_t CreationTime = 0;
    uint64_t ModifiedTime = 0;
    TChunkedBytes Data;
    std::vector<std::unique_ptr<TCompoundEntry>> Children;

    bool IsStorage() const { return Type == TEntryType::Storage || Type == TEntryType::Root; }
    // Child by name, compared the way the format compares names (ignoring case).
    TCompoundEntry* Find(std::u16string_view name) const;
    std::unique_ptr<TCompoundEntry> Clone() const;
};

// Case-insensitive name order of the format: shorter names first, then by
// upper-cased UTF-16 code units.
int CompareEntryNames(std::u16string_view a, std::u16string_view b);

using TCompoundStream = TByteStream;

// Handle on a storage of a document; valid while the document lives.
class TCompoundStorage {
public:
    explicit TCompoundStorage(TCompoundEntry& entry) : FEntry(&entry) {}

    // Creates the stream, replacing a stream or storage of that name.
    TCompoundStream CreateStream(std::u16string_view name);
    // Fails with "Stream not found: <name>" when missing.
    TCompoundStream OpenStream(std::u16string_view name);
    bool HasStream(std::u16string_view name) const;
    TCompoundStorage CreateStorage(std::u16string_view name);
    TCompoundStorage OpenStorage(std::u16string_view name);
    bool Remove(std::u16string_view name);
    // Copies every child of this storage into dest, replacing same-named ones.
    void CopyTo(TCompoundStorage dest) const;
    const std::vector<std::unique_ptr<TCompoundEntry>>& Children() const { return FEntry->Children; }
    TCompoundEntry& Entry() const { return *FEntry; }

private:
    TCompoundEntry& Replace(std::u16string_view name, TEntryType type);
    TCompoundEntry& Insert(std::unique_ptr<TCompoundEntry> entry);
    TCompoundEntry* FEntry;
};

class TCompoundDocument {
public:
    TCompoundDocument();

    // Parse and validate a whole document; any fault gives an EXLSError
    // whose message starts "Invalid compound document: ".
    static TCompoundDocument OpenFile(const std::filesystem::path& path);
    static TCompoundDocument OpenMemory(const uint8_t* data, size_t size);
    // Parses bytes that stay alive with the document: streams stored in
    // consecutive sectors are read in place, not copied.
    static TCompoundDocument OpenShared(TSharedBytes bytes);
    // True when the file starts with the compound document signature.
    static bool IsCompoundFile(const std::filesystem::path& path);
    static bool HasSignature(const uint8_t* data, size_t size);

    TCompoundStorage Root() { return TCompoundStorage(*FRoot); }
    const TCompoundEntry& RootEntry() const { return *FRoot; }
    // Major version of the document read (3 or 4); documents written are 3.
    int MajorVersion() const { return FMajorVersion; }

    std::vector<uint8_t> SaveToMemory() const;
    // Writes a temporary file beside path and renames it over path only when
    // complete; on failure path is untouched and the temporary file removed.
    void SaveToFile(const std::filesystem::path& path) const;

private:
    std::unique_ptr<TCompoundEntry> FRoot;
    int FMajorVersion = 3;
    friend class TCompoundReader;
};

}  // namespace workbook
