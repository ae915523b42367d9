# Cross-compiling for 64-bit ARM (Raspberry Pi OS, Debian arm64) on a Debian host with multiarch:
# the compiler from crossbuild-essential-arm64, the arm64 -dev packages installed beside the
# host's, and the host's own Qt tools (moc, rcc). Programs built for the target (the tests) run
# through qemu-user. scripts/cross-build.sh installs all of it.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Libraries and headers of the target only; programs from the host.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${CMAKE_HOST_SYSTEM_PROCESSOR}-linux-gnu/cmake)

# pkg-config reads the target's .pc files, never the host's; PKG_CONFIG_PATH may add more
# (the script's folder for OLA's unpacked development files).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

find_program(KTR_QEMU_AARCH64 NAMES qemu-aarch64-static qemu-aarch64)
if(KTR_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KTR_QEMU_AARCH64})
endif()
