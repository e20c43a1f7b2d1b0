# i386 build on an x86-64 machine: 32-bit code with SSE2 float math, so that float
# expressions round to float exactly as they do in the x86-64 build. File calls take 64-bit
# sizes and inode numbers: with the 32-bit ones, a file whose inode number needs more than 32
# bits (common on large or network file systems) cannot even be looked at, and its import
# would arrive empty.
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(FIND_LIBRARY_USE_LIB32_PATHS ON)
