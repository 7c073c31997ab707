// Constants of the compound file binary format shared by its reader and writer.
#pragma once

#include <cstdint>

namespace workbook::cfb {

constexpr uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr uint32_t MAXREGSECT = 0xFFFFFFFA;
constexpr uint32_t DIFSECT = 0xFFFFFFFC;
constexpr uint32_t FATSECT = 0xFFFFFFFD;
constexpr uint32_t ENDOFCHAIN = 0xFFFFFFFE;
constexpr uint32_t FREESECT = 0xFFFFFFFF;
constexpr uint32_t NOSTREAM = 0xFFFFFFFF;

constexpr uint32_t kHeaderSize = 512;
constexpr uint32_t kDirEntrySize = 128;
constexpr uint32_t kMiniSectorSize = 64;
constexpr uint32_t kMiniStreamCutoff = 4096;
constexpr uint32_t kHeaderDifatCount = 109;
constexpr uint16_t kMinorVersion = 0x003E;
constexpr uint16_t kByteOrder = 0xFFFE;

// Header field offsets.
constexpr uint32_t kOffMinor = 24, kOffMajor = 26, kOffByteOrder = 28, kOffSectorShift = 30, kOffMiniShift = 32,
                   kOffDirSectors = 40, kOffFatSectors = 44, kOffFirstDir = 48, kOffCutoff = 56, kOffFirstMiniFat = 60,
                   kOffMiniFatSectors = 64, kOffFirstDifat = 68, kOffDifatSectors = 72, kOffDifat = 76;

// Directory entry field offsets.
constexpr uint32_t kEntName = 0, kEntNameLen = 64, kEntType = 66, kEntColor = 67, kEntLeft = 68, kEntRight = 72,
                   kEntChild = 76, kEntClsid = 80, kEntState = 96, kEntCreated = 100, kEntModified = 108,
                   kEntStart = 116, kEntSize = 120;

}  // namespace workbook::cfb
