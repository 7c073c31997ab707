// Shared helpers of the workbook tests: record lists of written files, hex
// literals, temporary folders and calls to other programs that read our files.
#pragma once

#include "workbook/ByteOrder.h"
#include "workbook/compound/CompoundDocument.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace tbtest {

struct TRecord {
    uint16_t Id;
    std::vector<uint8_t> Body;
    uint64_t Offset;
};

inline std::vector<uint8_t> WorkbookStream(const std::vector<uint8_t>& file)
{
    auto doc = workbook::TCompoundDocument::OpenMemory(file.data(), file.size());
    return doc.RootEntry().Find(u"Workbook")->Data.ToVector();
}

inline std::vector<TRecord> ParseRecords(const std::vector<uint8_t>& stream)
{
    std::vector<TRecord> out;
    for (size_t pos = 0; pos + 4 <= stream.size();) {
        uint16_t id = workbook::GetU16(&stream[pos]);
        uint16_t len = workbook::GetU16(&stream[pos + 2]);
        out.push_back(
            {id, std::vector<uint8_t>(stream.begin() + long(pos) + 4, stream.begin() + long(pos) + 4 + len), pos});
        pos += 4u + len;
    }
    return out;
}

inline std::vector<TRecord> RecordsOf(const std::vector<uint8_t>& file) { return ParseRecords(WorkbookStream(file)); }

// "00 06 05 00" -> bytes.
inline std::vector<uint8_t> Hex(const std::string& text)
{
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) out.push_back(uint8_t(std::stoul(byte, nullptr, 16)));
    return out;
}

inline std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class TTempDir {
public:
    TTempDir()
    {
        std::random_device rd;
        FPath = std::filesystem::temp_directory_path() / ("tbwb-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(FPath);
    }
    ~TTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(FPath, ec);
    }
    const std::filesystem::path& Path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }
    size_t FileCount() const
    {
        return size_t(std::distance(std::filesystem::directory_iterator(FPath), std::filesystem::directory_iterator()));
    }

private:
    std::filesystem::path FPath;
};

// Runs /usr/bin/python3 with a script file; returns its standard output.
inline std::string RunPython(const TTempDir& dir, const std::string& script, int* status = nullptr)
{
    auto path = dir / "check.py";
    std::ofstream(path) << script;
    FILE* p = popen(("/usr/bin/python3 " + path.string() + " 2>&1").c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = rc;
    return out;
}

// Appends 4 characters to prefix so that the text's hash becomes target: the
// table index of each of the last 4 steps is chosen from the top byte of the
// register it must produce.
inline std::u16string ForceHash(const std::u16string& prefix, uint32_t target)
{
    uint32_t table[256];
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    uint32_t reg = 0xFFFFFFFFu;
    for (char16_t ch : prefix) reg = table[(reg ^ uint8_t(ch)) & 0xFF] ^ (reg >> 8);
    uint8_t index[4];
    uint32_t t = target;
    for (int k = 3; k >= 0; --k) {
        for (uint32_t i = 0; i < 256; ++i)
            if ((table[i] >> 24) == (t >> 24)) index[k] = uint8_t(i);
        t = (t ^ table[index[k]]) << 8;
    }
    std::u16string text = prefix;
    for (int k = 0; k < 4; ++k) {
        uint8_t b = uint8_t((reg ^ index[k]) & 0xFF);
        text += char16_t(b);
        reg = table[index[k]] ^ (reg >> 8);
    }
    return text;
}

inline bool HavePythonModules()
{
    return std::system("/usr/bin/python3 -c 'import xlrd, olefile' >/dev/null 2>&1") == 0;
}

}  // namespace tbtest
