#include "app/PasswordHash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <charconv>
#include <stdexcept>
#include <vector>

namespace password {
namespace {

constexpr size_t kSaltBytes = 16;
constexpr size_t kKeyBytes = 32;
constexpr int kMaxIterations = 100000000;  // a hand-edited row cannot hang the login

using TKey = std::array<unsigned char, kKeyBytes>;

struct THash {
    int iterations = 0;
    std::vector<unsigned char> salt;
    TKey key{};
};

std::string Hex(const unsigned char* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

bool FromHex(std::string_view s, unsigned char* out, size_t n)
{
    if (s.size() != 2 * n) return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned v = 0;
        auto r = std::from_chars(s.data() + 2 * i, s.data() + 2 * i + 2, v, 16);
        if (r.ec != std::errc() || r.ptr != s.data() + 2 * i + 2) return false;
        out[i] = static_cast<unsigned char>(v);
    }
    return true;
}

TKey Derive(std::string_view plain, const std::vector<unsigned char>& salt, int iterations)
{
    TKey key{};
    if (PKCS5_PBKDF2_HMAC(plain.data(), static_cast<int>(plain.size()), salt.data(), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(key.size()), key.data()) != 1)
        throw std::runtime_error("密码加密失败 (PBKDF2)");
    return key;
}

// "$pbkdf2-sha256$N$salt$key" taken apart; false when any part is malformed.
bool Parse(std::string_view stored, THash& h)
{
    if (!IsHashed(stored)) return false;
    std::string_view rest = stored.substr(kMarker.size());
    auto end = rest.data() + rest.size();
    auto r = std::from_chars(rest.data(), end, h.iterations);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != '$' || h.iterations < 1 || h.iterations > kMaxIterations)
        return false;
    rest = rest.substr(static_cast<size_t>(r.ptr - rest.data()) + 1);
    size_t dollar = rest.find('$');
    if (dollar == std::string_view::npos) return false;
    h.salt.resize(dollar / 2);
    return dollar % 2 == 0 && !h.salt.empty() && FromHex(rest.substr(0, dollar), h.salt.data(), h.salt.size()) &&
           FromHex(rest.substr(dollar + 1), h.key.data(), h.key.size());
}

std::array<unsigned char, 32> Sha256(std::string_view s)
{
    std::array<unsigned char, 32> d{};
    unsigned int n = 0;
    if (EVP_Digest(s.data(), s.size(), d.data(), &n, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("密码比较失败 (SHA-256)");
    return d;
}

}  // namespace

bool IsHashed(std::string_view stored) { return stored.substr(0, kMarker.size()) == kMarker; }

std::string Hash(std::string_view plain, int iterations)
{
    std::vector<unsigned char> salt(kSaltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1)
        throw std::runtime_error("无法生成随机的密码盐 (RAND_bytes)");
    TKey key = Derive(plain, salt, iterations);
    return std::string(kMarker) + std::to_string(iterations) + "$" + Hex(salt.data(), salt.size()) + "$" +
           Hex(key.data(), key.size());
}

bool Verify(std::string_view plain, std::string_view stored)
{
    if (!IsHashed(stored)) {
        // Equal-length digests let the comparison take the same time
        // whatever the texts and their lengths are.
        auto a = Sha256(plain), b = Sha256(stored);
        return CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
    }
    THash h;
    if (!Parse(stored, h)) return false;
    TKey key = Derive(plain, h.salt, h.iterations);
    return CRYPTO_memcmp(key.data(), h.key.data(), key.size()) == 0;
}

int Iterations(std::string_view stored)
{
    THash h;
    return Parse(stored, h) ? h.iterations : 0;
}

bool NeedsRehash(std::string_view stored, int iterations) { return Iterations(stored) < iterations; }

}  // namespace password
