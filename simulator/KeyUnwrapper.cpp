#include "simulator/KeyUnwrapper.h"

#include "toolchain/SealedBlocks.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

KeyUnwrapper::KeyUnwrapper(const QByteArray &privateKeyPem)
{
    BIO *bio = BIO_new_mem_buf(privateKeyPem.constData(), privateKeyPem.size());
    if (!bio)
        return;
    key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (key && EVP_PKEY_get_base_id(key) != EVP_PKEY_RSA) {
        EVP_PKEY_free(key);
        key = nullptr;
    }
}

KeyUnwrapper::~KeyUnwrapper()
{
    EVP_PKEY_free(key);
}

Result<QByteArray> KeyUnwrapper::unwrap(const char *wrapped, qint64 length) const
{
    if (!key)
        return fail(QStringLiteral("没有可用的私钥"));
    if (length != SealedBlocks::WrappedKeyLength)
        return fail(QStringLiteral("加密密钥的长度无效"));
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> context(EVP_PKEY_CTX_new(key, nullptr), &EVP_PKEY_CTX_free);
    unsigned char plain[SealedBlocks::WrappedKeyLength];
    size_t plainLength = sizeof plain;
    if (!context || EVP_PKEY_decrypt_init(context.get()) <= 0
        || EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_PADDING) <= 0
        || EVP_PKEY_decrypt(context.get(), plain, &plainLength, reinterpret_cast<const unsigned char *>(wrapped),
                            static_cast<size_t>(length)) <= 0)
        return fail(QStringLiteral("无法解开加密密钥"));
    if (plainLength != SealedBlocks::ContentKeyLength)
        return fail(QStringLiteral("内容密钥的长度无效"));
    return QByteArray(reinterpret_cast<const char *>(plain), static_cast<int>(plainLength));
}
