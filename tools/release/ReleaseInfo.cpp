#include "tools/release/ReleaseInfo.h"

#include "upgrade/upSignature.h"

#include <QCryptographicHash>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace release {
namespace {

struct PKeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using PKey = std::unique_ptr<EVP_PKEY, PKeyDeleter>;

PKey PrivateKey(const QByteArray& seed)
{
    if (seed.size() != 32) return nullptr;
    return PKey(EVP_PKEY_new_raw_private_key(EVP_PKEY_ED25519, nullptr,
                                             reinterpret_cast<const unsigned char*>(seed.constData()), 32));
}

// The reader counts url, then url2, url3, ...: the first file is "url".
QByteArray KeyOf(qsizetype index) { return index == 0 ? QByteArray("url") : "url" + QByteArray::number(index + 1); }

}  // namespace

ReleaseFile Describe(const QString& url, const QByteArray& content)
{
    return {url, content.size(), QCryptographicHash::hash(content, QCryptographicHash::Sha256)};
}

QByteArray WriteInfo(const ReleaseInfo& info)
{
    // The byte-order mark makes the reader take the text as UTF-8 (without
    // one it reads the Chinese systems' legacy code page).
    QByteArray text = "\xEF\xBB\xBF#date=" + info.Date.toUtf8() + "\r\n";
    if (!info.Version.isEmpty()) text += "#version=" + info.Version.toUtf8() + "\r\n";
    if (info.Method != 0) text += "#method=" + QByteArray::number(info.Method) + "\r\n";
    if (!info.Message.isEmpty()) text += "#message={" + info.Message.toUtf8() + "}\r\n";
    for (qsizetype i = 0; i < info.Files.size(); ++i) {
        const QByteArray key = KeyOf(i);
        const ReleaseFile& file = info.Files[i];
        text += "#" + key + "=" + file.Url.toUtf8() + "\r\n";
        text += "#" + key + "-size=" + QByteArray::number(file.Size) + "\r\n";
        text += "#" + key + "-sha256=" + file.Sha256.toHex() + "\r\n";
    }
    return text;
}

QByteArray Sign(const QByteArray& text, const QByteArray& seed)
{
    QByteArray unused;
    QByteArray message = SignedPart(text, &unused);
    if (!message.isEmpty() && !message.endsWith('\n')) message += "\r\n";
    PKey key = PrivateKey(seed);
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    unsigned char signature[64];
    size_t length = sizeof signature;
    if (!key || !ctx || EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        EVP_DigestSign(ctx.get(), signature, &length, reinterpret_cast<const unsigned char*>(message.constData()),
                       static_cast<size_t>(message.size())) != 1)
        return QByteArray();
    return message + "#signature=" + QByteArray(reinterpret_cast<const char*>(signature), length).toBase64() + "\r\n";
}

QByteArray PublicKeyOf(const QByteArray& seed)
{
    PKey key = PrivateKey(seed);
    unsigned char raw[32];
    size_t length = sizeof raw;
    if (!key || EVP_PKEY_get_raw_public_key(key.get(), raw, &length) != 1) return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(raw), static_cast<qsizetype>(length));
}

QByteArray NewSeed()
{
    QByteArray seed(32, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(seed.data()), 32) != 1) return QByteArray();
    return seed;
}

}  // namespace release
