# The same sources as 64-bit Windows programs, for machines whose kernel runs
# no 32-bit code (Wine can then only run 64-bit programs).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORV_TRIPLET x86_64-w64-mingw32)
set(ORV_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run;win64)
