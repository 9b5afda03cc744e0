# 32-bit Windows programs: the deliverables.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORV_TRIPLET i686-w64-mingw32)
set(ORV_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
