// Reading Excel 97-2003 workbooks saved with a password to open. The FILEPASS
// record names the scheme: RC4 with a key derived by MD5, or RC4 with a key
// derived by SHA-1 through the cryptographic service provider. Record
// headers stay in clear; record bodies are encrypted with a key stream that
// starts again every 1024 bytes of the workbook stream, keyed by the block
// number, so a byte's key depends only on its offset in the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace workbook {

// The password a workbook saved as "protected" (structure or windows) is
// encrypted with; such a file opens without asking anybody for a password.
extern const char16_t* const kDefaultOpenPassword;

class TBIFFDecryptor {
public:
    virtual ~TBIFFDecryptor() = default;
    // Builds the decryptor for a FILEPASS body of type 1 (RC4). Returns null
    // when the password does not match the file's verifier; fails with
    // "Can not read file, unknown type of encryption." for a scheme it does
    // not know.
    static std::unique_ptr<TBIFFDecryptor> Create(const uint8_t* filepass, size_t size, const std::u16string& password);

    // XORs count bytes that stand at offset in the workbook stream.
    void Decrypt(uint8_t* bytes, size_t count, uint64_t offset);

protected:
    virtual std::vector<uint8_t> BlockKey(uint32_t block) const = 0;

private:
    struct TState {
        uint8_t S[256];
        uint8_t I = 0, J = 0;
    };
    void StartBlock(uint32_t block);
    uint8_t Next();

    TState FState;
    uint32_t FBlock = 0xFFFFFFFF;
    uint32_t FUsed = 0;  // key-stream bytes taken from the current block
};

// Decrypts, in place, the bodies of the records of a workbook stream that
// start at or after from (the record after FILEPASS). Bodies that are never
// encrypted (BOF, FILEPASS, INTERFACEHDR, the file-lock and revision headers,
// and the stream position at the start of BOUNDSHEET) are left as they are.
void DecryptRecords(std::vector<uint8_t>& stream, size_t from, TBIFFDecryptor& decryptor);

}  // namespace workbook
