# Shared part of the MinGW-w64 toolchain files. The includer sets ORV_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::thread and std::mutex.
set(CMAKE_C_COMPILER   ${ORV_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${ORV_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
