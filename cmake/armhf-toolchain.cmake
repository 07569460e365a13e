# The board: 32-bit ARM (Cortex-A7 and up, NEON, hard float), built with
# Debian's cross compilers against Debian's armhf libraries, installed beside
# the host's through multiarch (tools/install-deps.sh sets both up).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(KESTRA_TRIPLET arm-linux-gnueabihf)
set(CMAKE_C_COMPILER ${KESTRA_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${KESTRA_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${KESTRA_TRIPLET})

set(KESTRA_BOARD_FLAGS "-mcpu=cortex-a7 -mfpu=neon-vfpv4 -mfloat-abi=hard")
set(CMAKE_C_FLAGS_INIT "${KESTRA_BOARD_FLAGS}")
# -Wno-psabi: GCC's note that passing some structures changed in GCC 7.1;
# everything here is built by the same compiler.
set(CMAKE_CXX_FLAGS_INIT "${KESTRA_BOARD_FLAGS} -Wno-psabi")

# Multiarch keeps the armhf libraries in the host's own tree, so there is no
# sysroot; pkg-config must only see their armhf descriptions.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${KESTRA_TRIPLET}/pkgconfig:/usr/share/pkgconfig)

# Built programs (the unit tests, the pictures drawn during the build) run
# under user-mode emulation; the armhf dynamic loader and libraries are the
# multiarch ones, so the emulator needs no prefix.
find_program(KESTRA_QEMU_ARM qemu-arm REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRA_QEMU_ARM})
set(KESTRA_DEBIAN_ARCH armhf)  # the package's architecture
