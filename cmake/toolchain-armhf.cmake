# Cross build for 32-bit ARM Linux, Debian armhf ABI: ARMv7-A, VFPv3-D16,
# hard-float calling convention (Thumb-2 is the compiler's default).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)

set(TERVANE_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${TERVANE_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${TERVANE_TRIPLET}-g++)
set(CMAKE_C_FLAGS_INIT "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard")
set(CMAKE_CXX_FLAGS_INIT "-march=armv7-a -mfpu=vfpv3-d16 -mfloat-abi=hard")

set(CMAKE_FIND_ROOT_PATH /usr/${TERVANE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest runs every cross-built test program through user-mode emulation.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/${TERVANE_TRIPLET})
