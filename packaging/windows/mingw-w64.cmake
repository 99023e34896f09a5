# Cross-builds for 64-bit Windows with Debian's MinGW-w64 compilers (posix threads) against the
# prebuilt dependency stack (Qt 5, QScintilla, Lua, OpenSSL) unpacked in KESTRUN_WINDOWS_SDK.
# zlib comes from Debian's libz-mingw-w64-dev. scripts/build-windows.sh passes the SDK folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw}-windres)

# Compiler checks run in fresh projects that see only the listed variables.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KESTRUN_WINDOWS_SDK)
if(NOT KESTRUN_WINDOWS_SDK)
    set(KESTRUN_WINDOWS_SDK "$ENV{KESTRUN_WINDOWS_SDK}")
endif()
if(NOT IS_DIRECTORY "${KESTRUN_WINDOWS_SDK}/qt5")
    message(FATAL_ERROR "KESTRUN_WINDOWS_SDK (\"${KESTRUN_WINDOWS_SDK}\") is not an unpacked Windows SDK "
                        "(a folder with qt5/, lua/ and openssl/); make windows unpacks one")
endif()
set(KESTRUN_WINDOWS_SDK "${KESTRUN_WINDOWS_SDK}" CACHE PATH "Unpacked Windows dependency stack")

set(CMAKE_FIND_ROOT_PATH /usr/${mingw} ${KESTRUN_WINDOWS_SDK}/qt5 ${KESTRUN_WINDOWS_SDK}/lua
    ${KESTRUN_WINDOWS_SDK}/openssl)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH ${KESTRUN_WINDOWS_SDK}/qt5)
set(OPENSSL_ROOT_DIR ${KESTRUN_WINDOWS_SDK}/openssl)
set(OPENSSL_USE_STATIC_LIBS TRUE)
set(ENV{PKG_CONFIG_LIBDIR} ${KESTRUN_WINDOWS_SDK}/lua/lib/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Build-time tools (the API reference) and CTest run the programs through wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR} ${KESTRUN_WINDOWS_SDK})
