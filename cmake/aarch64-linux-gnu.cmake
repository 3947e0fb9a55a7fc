# 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu); the tests run
# under qemu-aarch64-static (qemu-user-static).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# The cross C library under /usr/aarch64-linux-gnu, and Debian's multiarch packages
# (zlib1g-dev:arm64) under /usr/lib/aarch64-linux-gnu.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
# Header-only packages (nlohmann-json) come from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# The cross libraries first: with zlib1g-dev:arm64 the build machine's loader cache also names
# Debian's arm64 C library, and a program that mixed it with the cross loader would hang.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64-static -L /usr/aarch64-linux-gnu
    -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
