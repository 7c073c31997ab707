// Enumerations and small value types shared across the workbook library.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace workbook {

enum TExcelVersion {
    xvNone = 0,
    xvExcelUnknown = 1,
    xvExcel21 = 2,
    xvExcel30 = 3,
    xvExcel40 = 4,
    xvExcel50 = 5,
    xvExcel97 = 6,
    xvExcel2007 = 7
};

// The rows and columns a sheet's cells span.
struct TCellDimensions {
    uint32_t FirstRow = 0, LastRow = 0, FirstCol = 0, LastCol = 0;
    bool Empty = true;
};

// A set of enumeration values (values 0..31), as the settings use them.
template <class E> class TSet {
public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> values)
    {
        for (E v : values) FBits |= Bit(v);
    }
    constexpr bool Contains(E v) const { return FBits & Bit(v); }
    constexpr void Include(E v) { FBits |= Bit(v); }
    constexpr void Exclude(E v) { FBits &= ~Bit(v); }
    constexpr bool operator==(const TSet&) const = default;

private:
    static constexpr uint32_t Bit(E v) { return 1u << unsigned(v); }
    uint32_t FBits = 0;
};

}  // namespace workbook
