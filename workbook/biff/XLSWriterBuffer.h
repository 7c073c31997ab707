// Records gathered in memory and handed to the record stream in large
// pieces. Cell records are many and small (a LABELSST is 14 bytes), and the
// stream's work per write would otherwise cost more than the records
// themselves. Every record still passes the stream's fault check when it is
// added, so a write made to fail stops at the same record as before.
#pragma once

#include "workbook/ByteOrder.h"
#include "workbook/SafeFile.h"
#include "workbook/biff/XLSStream.h"

#include <cstring>
#include <vector>

namespace workbook {

class TRecordBuffer {
public:
    explicit TRecordBuffer(TXLSStream& stream) : FStream(stream), FData(kSize) {}

    // Adds a record: its 4-byte header, then the n bytes of body.
    void Add(uint16_t recId, const void* body, size_t n)
    {
        WriteFaults::CheckRecordWrite();
        if (FUsed + 4 + n > FData.size()) {
            Flush();
            if (4 + n > FData.size()) FData.resize(4 + n);
        }
        uint8_t* p = FData.data() + FUsed;
        PutU16(p, recId);
        PutU16(p + 2, uint16_t(n));
        if (n) std::memcpy(p + 4, body, n);
        FUsed += 4 + n;
    }
    // Hands the gathered records to the stream; due before anything else
    // writes to it or asks for its position.
    void Flush()
    {
        if (FUsed) FStream.Write(FData.data(), FUsed);
        FUsed = 0;
    }

private:
    static constexpr size_t kSize = 64 * 1024;
    TXLSStream& FStream;
    std::vector<uint8_t> FData;
    size_t FUsed = 0;
};

}  // namespace workbook
