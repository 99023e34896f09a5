#include "device/FBInfo.h"

#include <QtEndian>

#include <cstring>
#include <type_traits>

static_assert(sizeof(FBInfo) == FBInfo::kSize, "FBInfo is 16 int32 fields without padding");
static_assert(std::is_trivially_copyable<FBInfo>::value, "FBInfo is copied as raw fields");

namespace {
constexpr int kFields = FBInfo::kSize / 4;
}

void FBInfo::toBytes(char *bytes) const
{
    qint32 fields[kFields];
    std::memcpy(fields, this, kSize);
    for (int i = 0; i < kFields; ++i)
        qToLittleEndian<qint32>(fields[i], bytes + 4 * i);
}

FBInfo FBInfo::fromBytes(const char *bytes)
{
    qint32 fields[kFields];
    for (int i = 0; i < kFields; ++i)
        fields[i] = qFromLittleEndian<qint32>(bytes + 4 * i);
    FBInfo info;
    std::memcpy(&info, fields, kSize);
    return info;
}

void FBInfo::registerMetaType()
{
    qRegisterMetaType<FBInfo>("FBInfo");
}
