# Shared part of the MinGW-w64 toolchain files. The includer sets ORV_TRIPLET
# and ORV_THREADS: "win32" for the shipped programs (single-threaded; the posix
# model's static winpthreads would import calls that Windows 98 and 2000 lack),
# "posix" for the test builds (GoogleTest needs std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${ORV_TRIPLET}-gcc-${ORV_THREADS})
set(CMAKE_CXX_COMPILER ${ORV_TRIPLET}-g++-${ORV_THREADS})
set(CMAKE_RC_COMPILER  ${ORV_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
