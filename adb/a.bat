@echo off
rem Forwards the device's control port 7000 over USB, so the IDE reaches the Kestrun runtime
rem on a phone plugged in by cable at 127.0.0.1:7000. Needs the Android platform tools (adb)
rem on PATH and USB debugging enabled on the phone. The remote screen's frame port is
rem forwarded by the IDE when the stream starts.
adb forward tcp:7000 tcp:7000
