// Little-endian field access for file structures (BIFF records, compound
// document sectors). Works on any host byte order and any alignment.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace workbook {

inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline uint64_t GetU64(const uint8_t* p) { return GetU32(p) | (uint64_t(GetU32(p + 4)) << 32); }
inline double GetF64(const uint8_t* p)
{
    uint64_t bits = GetU64(p);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

inline void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v)
{
    PutU16(p, uint16_t(v));
    PutU16(p + 2, uint16_t(v >> 16));
}
inline void PutU64(uint8_t* p, uint64_t v)
{
    PutU32(p, uint32_t(v));
    PutU32(p + 4, uint32_t(v >> 32));
}
inline void PutF64(uint8_t* p, double d)
{
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    PutU64(p, bits);
}

// Appending builder for record bodies composed field by field.
class TByteWriter {
public:
    void U8(uint8_t v) { FBytes.push_back(v); }
    void U16(uint16_t v)
    {
        Grow(2, [&](uint8_t* p) { PutU16(p, v); });
    }
    void U32(uint32_t v)
    {
        Grow(4, [&](uint8_t* p) { PutU32(p, v); });
    }
    void F64(double v)
    {
        Grow(8, [&](uint8_t* p) { PutF64(p, v); });
    }
    void Bytes(const void* data, size_t n)
    {
        const auto* b = static_cast<const uint8_t*>(data);
        FBytes.insert(FBytes.end(), b, b + n);
    }
    void UTF16(const std::u16string& s)
    {
        for (char16_t c : s) U16(uint16_t(c));
    }
    const std::vector<uint8_t>& Data() const { return FBytes; }
    std::vector<uint8_t>& Data() { return FBytes; }

private:
    template <class F> void Grow(size_t n, F put)
    {
        FBytes.resize(FBytes.size() + n);
        put(FBytes.data() + FBytes.size() - n);
    }
    std::vector<uint8_t> FBytes;
};

}  // namespace workbook
