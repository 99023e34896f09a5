#pragma once

#include "common/Result.h"

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// The device's side of the wrapped content key: decrypts it with the RSA private key (PEM).
// Belongs to the simulated device and the tests; the IDE never holds a private key.
class KeyUnwrapper
{
public:
    explicit KeyUnwrapper(const QByteArray &privateKeyPem);
    ~KeyUnwrapper();

    bool isValid() const { return key != nullptr; }
    // The 8-byte content key.
    Result<QByteArray> unwrap(const char *wrapped, qint64 length) const;

private:
    evp_pkey_st *key = nullptr;
};
