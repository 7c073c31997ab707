// Password-to-open decryption of Excel 97-2003 workbook streams (see
// XLSDecrypt.h). MD5 and SHA-1 come from the system's crypto library.
#include "workbook/biff/XLSDecrypt.h"

#include "workbook/ByteOrder.h"
#include "workbook/XLSError.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

namespace workbook {

const char16_t* const kDefaultOpenPassword = u"VelvetSweatshop";

namespace {

constexpr uint32_t kBlockSize = 1024;

std::vector<uint8_t> Digest(const EVP_MD* md, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> out(EVP_MAX_MD_SIZE);
    unsigned int size = 0;
    if (!EVP_Digest(data.data(), data.size(), out.data(), &size, md, nullptr))
        throw EXLSError("Can not read file, unknown type of encryption.");
    out.resize(size);
    return out;
}

std::vector<uint8_t> PasswordBytes(const std::u16string& password)
{
    std::vector<uint8_t> out;
    for (char16_t c : password.substr(0, 255)) {
        out.push_back(uint8_t(c));
        out.push_back(uint8_t(c >> 8));
    }
    return out;
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const uint8_t* b, size_t n)
{
    a.insert(a.end(), b, b + n);
    return a;
}

std::vector<uint8_t> WithBlock(std::vector<uint8_t> a, uint32_t block)
{
    uint8_t b[4];
    PutU32(b, block);
    return Cat(std::move(a), b, 4);
}

// RC4 whose key is derived with MD5: the password hash, cut to 5 bytes and
// salted 16 times, is hashed again and cut to 5 bytes; each block's key is
// the MD5 of that and the block number.
class TMD5Decryptor : public TBIFFDecryptor {
public:
    TMD5Decryptor(const std::u16string& password, const uint8_t* salt)
    {
        std::vector<uint8_t> h0 = Digest(EVP_md5(), PasswordBytes(password));
        std::vector<uint8_t> buffer;
        for (int i = 0; i < 16; ++i) buffer = Cat(Cat(std::move(buffer), h0.data(), 5), salt, 16);
        std::vector<uint8_t> h1 = Digest(EVP_md5(), buffer);
        FHash.assign(h1.begin(), h1.begin() + 5);
    }

protected:
    std::vector<uint8_t> BlockKey(uint32_t block) const override { return Digest(EVP_md5(), WithBlock(FHash, block)); }

private:
    std::vector<uint8_t> FHash;
};

// RC4 whose key is derived with SHA-1 of the salt and the password; a 40-bit
// key is used as 5 key bytes followed by 11 zero bytes.
class TSHA1Decryptor : public TBIFFDecryptor {
public:
    TSHA1Decryptor(const std::u16string& password, const uint8_t* salt, uint32_t keyBits, bool padded)
        : FKeyBytes(std::clamp<uint32_t>(keyBits ? keyBits / 8 : 5, 5, 20)), FPadded(padded)
    {
        std::vector<uint8_t> data(salt, salt + 16);
        std::vector<uint8_t> pass = PasswordBytes(password);
        data.insert(data.end(), pass.begin(), pass.end());
        FHash = Digest(EVP_sha1(), data);
    }

protected:
    std::vector<uint8_t> BlockKey(uint32_t block) const override
    {
        std::vector<uint8_t> key = Digest(EVP_sha1(), WithBlock(FHash, block));
        key.resize(FKeyBytes);
        if (FPadded && FKeyBytes == 5) key.resize(16, 0);
        return key;
    }

private:
    std::vector<uint8_t> FHash;
    uint32_t FKeyBytes;
    bool FPadded;
};

// Decrypts the verifier and its hash with block 0's key stream; the password
// is right when the hash of the verifier matches.
bool Verifies(TBIFFDecryptor& d, const EVP_MD* md, const uint8_t* verifier, const uint8_t* hash, size_t hashSize)
{
    std::vector<uint8_t> both(verifier, verifier + 16);
    both.insert(both.end(), hash, hash + hashSize);
    d.Decrypt(both.data(), both.size(), 0);
    std::vector<uint8_t> expected = Digest(md, std::vector<uint8_t>(both.begin(), both.begin() + 16));
    return expected.size() >= hashSize && std::equal(both.begin() + 16, both.end(), expected.begin());
}

std::unique_ptr<TBIFFDecryptor> CryptoAPI(const uint8_t* p, size_t size, const std::u16string& password)
{
    const std::string unknown = "Can not read file, unknown type of encryption.";
    if (size < 14) throw EXLSError(unknown);
    uint32_t headerSize = GetU32(p + 10);
    if (headerSize < 32 || headerSize > size - 14) throw EXLSError(unknown);
    const uint8_t* header = p + 14;
    uint32_t keyBits = GetU32(header + 16);
    const uint8_t* verifier = header + headerSize;
    if (size_t(verifier - p) + 4 + 16 + 16 + 4 + 20 > size || GetU32(verifier) != 16 || GetU32(verifier + 36) != 20)
        throw EXLSError(unknown);
    for (bool padded : {true, false}) {
        auto d = std::make_unique<TSHA1Decryptor>(password, verifier + 4, keyBits, padded);
        if (Verifies(*d, EVP_sha1(), verifier + 20, verifier + 40, 20)) return d;
    }
    return nullptr;
}

}  // namespace

std::unique_ptr<TBIFFDecryptor> TBIFFDecryptor::Create(const uint8_t* p, size_t size, const std::u16string& password)
{
    if (size < 6) throw EXLSError("Can not read file, unknown type of encryption.");
    uint16_t major = GetU16(p + 2), minor = GetU16(p + 4);
    if (major == 1 && minor == 1) {
        if (size < 54) throw EXLSError("Can not read file, unknown type of encryption.");
        auto d = std::make_unique<TMD5Decryptor>(password, p + 6);
        return Verifies(*d, EVP_md5(), p + 22, p + 38, 16) ? std::move(d) : nullptr;
    }
    if (major >= 2 && major <= 4 && minor == 2) return CryptoAPI(p, size, password);
    throw EXLSError("Can not read file, unknown type of encryption.");
}

void TBIFFDecryptor::StartBlock(uint32_t block)
{
    std::vector<uint8_t> key = BlockKey(block);
    for (int i = 0; i < 256; ++i) FState.S[i] = uint8_t(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = uint8_t(j + FState.S[i] + key[size_t(i) % key.size()]);
        std::swap(FState.S[i], FState.S[j]);
    }
    FState.I = FState.J = 0;
    FBlock = block;
    FUsed = 0;
}

uint8_t TBIFFDecryptor::Next()
{
    TState& s = FState;
    s.I = uint8_t(s.I + 1);
    s.J = uint8_t(s.J + s.S[s.I]);
    std::swap(s.S[s.I], s.S[s.J]);
    ++FUsed;
    return s.S[uint8_t(s.S[s.I] + s.S[s.J])];
}

void TBIFFDecryptor::Decrypt(uint8_t* bytes, size_t count, uint64_t offset)
{
    for (size_t i = 0; i < count; ++i, ++offset) {
        uint32_t block = uint32_t(offset / kBlockSize);
        uint32_t at = uint32_t(offset % kBlockSize);
        if (block != FBlock || at < FUsed) StartBlock(block);
        while (FUsed < at) Next();
        bytes[i] ^= Next();
    }
}

void DecryptRecords(std::vector<uint8_t>& stream, size_t from, TBIFFDecryptor& decryptor)
{
    static const uint16_t kClear[] = {0x0809, 0x0009, 0x0209, 0x0409, 0x002F, 0x0194, 0x0195, 0x00E1, 0x0196, 0x0138};
    constexpr uint16_t kBoundSheet = 0x0085;
    for (size_t pos = from; pos + 4 <= stream.size();) {
        uint16_t id = GetU16(stream.data() + pos);
        size_t length = std::min<size_t>(GetU16(stream.data() + pos + 2), stream.size() - pos - 4);
        size_t body = pos + 4;
        if (std::find(std::begin(kClear), std::end(kClear), id) == std::end(kClear)) {
            size_t skip = id == kBoundSheet ? std::min<size_t>(4, length) : 0;
            decryptor.Decrypt(stream.data() + body + skip, length - skip, body + skip);
        }
        pos = body + length;
    }
}

}  // namespace workbook
