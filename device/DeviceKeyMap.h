#pragma once

// Host key codes (Qt::Key) of the digits and letters and the device's input-event key codes of
// the same keys. No other key has a device code.
class DeviceKeyMap
{
public:
    // The device key code of a host key, or -1 when the key has none.
    static int deviceKey(int hostKey);
    static int size();
};
