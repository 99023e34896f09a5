#!/bin/sh
# Forwards the device's control port 7000 over USB, so the IDE reaches the Kestrun runtime
# on a phone plugged in by cable at 127.0.0.1:7000. Needs the Android platform tools (adb)
# on PATH and USB debugging enabled on the phone. The remote screen's frame port is
# forwarded by the IDE when the stream starts.
exec adb forward tcp:7000 tcp:7000
