#include "DeviceKey.h"

#include "toolchain/BuiltInPublicKey.h"

#include <QFile>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

QByteArray DeviceKey::privatePem()
{
    QFile file(QStringLiteral(KESTRUN_SOURCE_DIR "/simulator/keys/device-private.pem"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read the device's private key");
    return file.readAll();
}

bool DeviceKey::builtInKeyMatches()
{
    const QByteArray pem = privatePem();
    BIO *in = BIO_new_mem_buf(pem.constData(), pem.size());
    EVP_PKEY *key = PEM_read_bio_PrivateKey(in, nullptr, nullptr, nullptr);
    BIO_free(in);
    BIO *out = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(out, key);
    char *text = nullptr;
    const long length = BIO_get_mem_data(out, &text);
    const QByteArray publicPem(text, static_cast<int>(length));
    BIO_free(out);
    EVP_PKEY_free(key);
    return publicPem == BuiltInPublicKey::pem();
}
