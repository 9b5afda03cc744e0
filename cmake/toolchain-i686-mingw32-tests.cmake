# The tests of the 32-bit programs, run under 32-bit Wine where the kernel runs
# 32-bit code. Their end-to-end and GUI tests start the deliverables themselves.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORV_TRIPLET i686-w64-mingw32)
set(ORV_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run;win32)
