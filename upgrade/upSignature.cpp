#include "upgrade/upSignature.h"

#include <memory>
#include <openssl/evp.h>

#ifndef TALLYBROOK_UPDATE_PUBLIC_KEY
#define TALLYBROOK_UPDATE_PUBLIC_KEY ""
#endif

namespace {

constexpr char Marker[] = "#signature=";
constexpr qsizetype MarkerSize = sizeof Marker - 1;

struct PKeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxDeleter {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

bool OnlyLineEnds(const QByteArray& bytes, qsizetype from)
{
    for (qsizetype i = from; i < bytes.size(); ++i)
        if (bytes[i] != '\r' && bytes[i] != '\n') return false;
    return true;
}

}  // namespace

QByteArray SignedPart(const QByteArray& bytes, QByteArray* signature)
{
    signature->clear();
    const qsizetype at = bytes.lastIndexOf(Marker);
    if (at < 0 || (at > 0 && bytes[at - 1] != '\n')) return bytes;
    qsizetype end = at + MarkerSize;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    if (!OnlyLineEnds(bytes, end)) return bytes;
    const auto decoded = QByteArray::fromBase64Encoding(bytes.mid(at + MarkerSize, end - at - MarkerSize),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    *signature = decoded ? *decoded : QByteArray("\0", 1);  // present but unreadable: never valid
    return bytes.left(at);
}

TupSignatureCheck VerifyInfoSignature(const QByteArray& bytes, const QByteArray& key)
{
    QByteArray signature;
    const QByteArray message = SignedPart(bytes, &signature);
    if (signature.isEmpty()) return scUnsigned;
    if (key.size() != 32) return scBadSignature;
    std::unique_ptr<EVP_PKEY, PKeyDeleter> pkey(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, reinterpret_cast<const unsigned char*>(key.constData()),
                                    32));
    std::unique_ptr<EVP_MD_CTX, MdCtxDeleter> ctx(EVP_MD_CTX_new());
    if (!pkey || !ctx || EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, pkey.get()) != 1)
        return scBadSignature;
    const int ok = EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.constData()),
                                    static_cast<size_t>(signature.size()),
                                    reinterpret_cast<const unsigned char*>(message.constData()),
                                    static_cast<size_t>(message.size()));
    return ok == 1 ? scValid : scBadSignature;
}

QByteArray BuiltInUpdateKey()
{
    const QByteArray key = QByteArray::fromHex(TALLYBROOK_UPDATE_PUBLIC_KEY);
    return key.size() == 32 ? key : QByteArray();
}
