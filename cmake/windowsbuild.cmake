# Included by the plain Linux build: cross-builds this source tree for 64-bit
# Windows against the shared Qt for mingw-w64, in the folder windows/ of the
# build. `cmake --install windows --prefix DIR` lays out the folder a user
# unzips: the programs, the manual, usbdrv/ and the DLLs they need.
# Skipped when the cross compiler or that Qt is missing.

set(ZORVEL_WINDOWS_QT_ARCHIVE ${PROJECT_SOURCE_DIR}/../shared/qt5-mingw64/qt5-mingw64.tar.xz
    CACHE FILEPATH "Qt 5 for 64-bit Windows (mingw-w64), packed; unpacked into the build folder")

find_program(ZORVEL_MINGW_X86_64 x86_64-w64-mingw32-g++)
if(NOT ZORVEL_MINGW_X86_64 OR NOT EXISTS ${ZORVEL_WINDOWS_QT_ARCHIVE})
    message(STATUS "Windows build skipped: it needs x86_64-w64-mingw32-g++ (g++-mingw-w64-x86-64) "
                   "and Qt for 64-bit Windows in ${ZORVEL_WINDOWS_QT_ARCHIVE}")
    return()
endif()

set(ZORVEL_WINDOWS_QT ${CMAKE_BINARY_DIR}/qt5-mingw64)
if(NOT EXISTS ${ZORVEL_WINDOWS_QT}/lib/cmake/Qt5/Qt5Config.cmake)
    message(STATUS "Unpacking ${ZORVEL_WINDOWS_QT_ARCHIVE}")
    file(ARCHIVE_EXTRACT INPUT ${ZORVEL_WINDOWS_QT_ARCHIVE} DESTINATION ${CMAKE_BINARY_DIR})
endif()

# The driver folder comes from the launcher's own builds, when there are any.
set(usbdrv_programs "")
set(driver_package "")
set(launcher_builds "")
if(TARGET launcher-i686)
    set(usbdrv_programs ${ZORVEL_USBDRV_PROGRAMS})
    set(driver_package ${ZORVEL_DRIVER_PACKAGE})
    set(launcher_builds launcher-i686 launcher-x86_64)
endif()

include(ExternalProject)
set(ZORVEL_WINDOWS_DIR ${CMAKE_BINARY_DIR}/windows)
ExternalProject_Add(windows
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${ZORVEL_WINDOWS_DIR}
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-w64-x86_64-qt5.cmake
        -DCMAKE_BUILD_TYPE=Release
    CMAKE_CACHE_ARGS
        -DZORVEL_WINDOWS_QT:PATH=${ZORVEL_WINDOWS_QT}
        -DZORVEL_USBDRV_PROGRAMS:STRING=${usbdrv_programs}
        -DZORVEL_DRIVER_PACKAGE:PATH=${driver_package}
        -DBUILD_TESTING:BOOL=${BUILD_TESTING}
        -DZORVEL_MANUAL_PICTURES:PATH=${ZORVEL_MANUAL_PICTURES}
    DEPENDS ${launcher_builds} manual-pictures
    # The sub-build tracks its own sources, so it runs on every build.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${ZORVEL_WINDOWS_DIR}/bin/Maritor.exe
    INSTALL_COMMAND ""
)

# The Windows packages, the portable zip and the MSI, made from this build by
# windows/windowspackages.cmake: scripts/package builds them, and so do the
# tests that need them.
find_program(ZORVEL_MINGW_STRIP x86_64-w64-mingw32-strip)
find_program(ZORVEL_WIXL wixl)
find_program(ZORVEL_WIXL_HEAT wixl-heat)
find_program(ZORVEL_MSIBUILD msibuild)
find_program(ZORVEL_OSSLSIGNCODE osslsigncode)
find_program(ZORVEL_ZIP zip)
find_program(ZORVEL_FAKETIME faketime)
find_program(ZORVEL_PYTHON3 python3)
if(NOT TARGET launcher-i686 OR NOT ZORVEL_MINGW_STRIP OR NOT ZORVEL_WIXL OR NOT ZORVEL_WIXL_HEAT
   OR NOT ZORVEL_MSIBUILD OR NOT ZORVEL_ZIP OR NOT ZORVEL_FAKETIME OR NOT ZORVEL_PYTHON3)
    message(STATUS "Windows packages skipped: they need the launcher's cross-build, x86_64-w64-mingw32-strip, "
                   "wixl and wixl-heat (wixl), msibuild (msitools), zip, faketime and python3")
    return()
endif()
set(ZORVEL_WINDOWS_PACKAGES_DIR ${CMAKE_BINARY_DIR}/windows-packages)
set(ZORVEL_WINDOWS_PACKAGE_SETTINGS ${CMAKE_BINARY_DIR}/windowspackages-settings.cmake)
set(settings "")
foreach(setting
        "WINDOWS_BUILD;${ZORVEL_WINDOWS_DIR}" "STAGE_DIR;${ZORVEL_WINDOWS_PACKAGES_DIR}/stage"
        "OUTPUT_DIR;${ZORVEL_WINDOWS_PACKAGES_DIR}" "VERSION;${PROJECT_VERSION}"
        "DRIVER_PACKAGE;${ZORVEL_DRIVER_PACKAGE}"
        "ICON_FILE;${PROJECT_SOURCE_DIR}/configurator/images/resources/AppIcon.ico"
        "WXS_FILE;${PROJECT_SOURCE_DIR}/windows/zorvel-custom-config.wxs"
        "MAKE_SPDX;${PROJECT_SOURCE_DIR}/tools/packaging/make-spdx.py" "STRIP;${ZORVEL_MINGW_STRIP}"
        "WIXL;${ZORVEL_WIXL}" "WIXL_HEAT;${ZORVEL_WIXL_HEAT}" "MSIBUILD;${ZORVEL_MSIBUILD}"
        "OSSLSIGNCODE;${ZORVEL_OSSLSIGNCODE}" "ZIP;${ZORVEL_ZIP}" "FAKETIME;${ZORVEL_FAKETIME}"
        "PYTHON3;${ZORVEL_PYTHON3}")
    list(GET setting 0 variable)
    list(GET setting 1 value)
    string(APPEND settings "if(NOT DEFINED ${variable})\n    set(${variable} \"${value}\")\nendif()\n")
endforeach()
file(WRITE ${ZORVEL_WINDOWS_PACKAGE_SETTINGS} "${settings}")
add_custom_target(windows-packages
    COMMAND ${CMAKE_COMMAND} -DSETTINGS=${ZORVEL_WINDOWS_PACKAGE_SETTINGS}
        -P ${PROJECT_SOURCE_DIR}/windows/windowspackages.cmake
    DEPENDS windows launcher-i686 launcher-x86_64
    COMMENT "Making the Windows zip and MSI"
    VERBATIM)
