# 64-bit Windows programs of the same sources: the 32-bit deliverables carry
# them and start them in their own place on 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORV_TRIPLET x86_64-w64-mingw32)
set(ORV_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
