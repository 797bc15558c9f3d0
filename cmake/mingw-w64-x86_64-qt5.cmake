# Cross-builds the Qt programs for 64-bit Windows with mingw-w64, against an
# unpacked Qt for that target: pass its folder as ZORVEL_WINDOWS_QT. The
# folder joins the find root path, as the toolchain re-roots package searches.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)

list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZORVEL_WINDOWS_QT)
list(APPEND CMAKE_FIND_ROOT_PATH ${ZORVEL_WINDOWS_QT})
