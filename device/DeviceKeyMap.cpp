#include "device/DeviceKeyMap.h"

#include <Qt>

#include <iterator>

namespace {

struct KeyEntry
{
    int hostKey;
    int deviceKey;
};

// The Linux input-event codes of the keyboard row each key sits on.
constexpr KeyEntry kKeys[] = {
    {Qt::Key_1, 2},  {Qt::Key_2, 3},  {Qt::Key_3, 4},  {Qt::Key_4, 5},  {Qt::Key_5, 6},
    {Qt::Key_6, 7},  {Qt::Key_7, 8},  {Qt::Key_8, 9},  {Qt::Key_9, 10}, {Qt::Key_0, 11},
    {Qt::Key_Q, 16}, {Qt::Key_W, 17}, {Qt::Key_E, 18}, {Qt::Key_R, 19}, {Qt::Key_T, 20},
    {Qt::Key_Y, 21}, {Qt::Key_U, 22}, {Qt::Key_I, 23}, {Qt::Key_O, 24}, {Qt::Key_P, 25},
    {Qt::Key_A, 30}, {Qt::Key_S, 31}, {Qt::Key_D, 32}, {Qt::Key_F, 33}, {Qt::Key_G, 34},
    {Qt::Key_H, 35}, {Qt::Key_J, 36}, {Qt::Key_K, 37}, {Qt::Key_L, 38},
    {Qt::Key_Z, 44}, {Qt::Key_X, 45}, {Qt::Key_C, 46}, {Qt::Key_V, 47}, {Qt::Key_B, 48},
    {Qt::Key_N, 49}, {Qt::Key_M, 50},
};
static_assert(std::size(kKeys) == 36, "digits and letters");

} // namespace

int DeviceKeyMap::deviceKey(int hostKey)
{
    for (const KeyEntry &entry : kKeys) {
        if (entry.hostKey == hostKey)
            return entry.deviceKey;
    }
    return -1;
}

int DeviceKeyMap::size()
{
    return int(std::size(kKeys));
}
