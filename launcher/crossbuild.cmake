# Included by the top-level (Linux) build: cross-builds this folder with
# mingw-w64, once for 32-bit Windows (the shipped launcher) and once for
# 64-bit Windows (the build that the tests run under Wine, which on these
# machines executes 64-bit code only), and installs the usbdrv folder.
# Skipped when a cross compiler is missing.

find_program(ZORVEL_MINGW_I686 i686-w64-mingw32-g++)
find_program(ZORVEL_MINGW_X86_64 x86_64-w64-mingw32-g++)
if(NOT ZORVEL_MINGW_I686 OR NOT ZORVEL_MINGW_X86_64)
    message(STATUS "Launcher skipped: it needs the mingw-w64 cross compilers "
                   "(g++-mingw-w64-i686 and g++-mingw-w64-x86-64)")
    return()
endif()

include(ExternalProject)

foreach(arch i686 x86_64)
    set(ZORVEL_LAUNCHER_${arch}_DIR ${CMAKE_BINARY_DIR}/launcher-${arch})
    set(byproducts Tarnwick.exe DPInst.exe recording/DPInst.exe)
    if(arch STREQUAL x86_64)
        list(APPEND byproducts DPInst64.exe recording/DPInst64.exe)
    endif()
    list(TRANSFORM byproducts PREPEND ${ZORVEL_LAUNCHER_${arch}_DIR}/)
    ExternalProject_Add(launcher-${arch}
        SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
        BINARY_DIR ${ZORVEL_LAUNCHER_${arch}_DIR}
        CMAKE_ARGS
            -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-${arch}.cmake
            -DCMAKE_BUILD_TYPE=MinSizeRel
        # The sub-build tracks its own sources, so it runs on every build.
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${byproducts}
        INSTALL_COMMAND ""
    )
endforeach()

# The driver folder a user gets: the 32-bit launcher, and either a real
# driver package (DPInst.exe, DPInst64.exe and the driver files they
# install) or, in each word size of the Windows that starts it, the program
# that says no driver package is included. A real DPInst.exe is 32-bit and a
# real DPInst64.exe 64-bit. A component of its own keeps the folder out of
# the Linux package.
set(ZORVEL_DRIVER_PACKAGE "" CACHE PATH
    "A driver package for usbdrv/: DPInst.exe, DPInst64.exe and the driver files they install")
set(ZORVEL_USBDRV_PROGRAMS ${ZORVEL_LAUNCHER_i686_DIR}/Tarnwick.exe)
if(ZORVEL_DRIVER_PACKAGE)
    foreach(installer DPInst.exe DPInst64.exe)
        if(NOT EXISTS ${ZORVEL_DRIVER_PACKAGE}/${installer})
            message(FATAL_ERROR "ZORVEL_DRIVER_PACKAGE ${ZORVEL_DRIVER_PACKAGE} holds no ${installer}")
        endif()
    endforeach()
    message(STATUS "Driver folder: the driver package in ${ZORVEL_DRIVER_PACKAGE}")
    install(DIRECTORY ${ZORVEL_DRIVER_PACKAGE}/ DESTINATION usbdrv COMPONENT usbdrv)
else()
    message(STATUS "Driver folder: no driver package (set ZORVEL_DRIVER_PACKAGE); "
                   "DPInst.exe and DPInst64.exe say where it goes")
    list(APPEND ZORVEL_USBDRV_PROGRAMS
        ${ZORVEL_LAUNCHER_i686_DIR}/DPInst.exe
        ${ZORVEL_LAUNCHER_x86_64_DIR}/DPInst64.exe)
endif()
install(PROGRAMS ${ZORVEL_USBDRV_PROGRAMS} DESTINATION usbdrv COMPONENT usbdrv)
