# Included by a Windows build: installs beside the programs what they need to
# run on a Windows without Qt. The DLLs follow the Qt modules the programs
# link, not any one program, so every program installed at the top of the
# folder finds them.

set(ZORVEL_USBDRV_PROGRAMS "" CACHE STRING
    "The launcher, and what stands for DPInst without a driver package, for usbdrv/ (the Linux build passes them)")
set(ZORVEL_DRIVER_PACKAGE "" CACHE PATH "A driver package, installed into usbdrv/ (the plain Linux build passes it)")

foreach(module Core Gui Widgets SerialPort)
    install(FILES $<TARGET_FILE:Qt5::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin> DESTINATION styles)

# The compiler's runtime; mingw-w64 builds with the win32 thread model need
# no thread library beside it.
if(MINGW)
    foreach(runtime libstdc++-6.dll libgcc_s_seh-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
            OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
        install(FILES ${runtime_path} DESTINATION .)
    endforeach()
endif()

if(ZORVEL_USBDRV_PROGRAMS)
    install(PROGRAMS ${ZORVEL_USBDRV_PROGRAMS} DESTINATION usbdrv)
endif()
if(ZORVEL_DRIVER_PACKAGE)
    install(DIRECTORY ${ZORVEL_DRIVER_PACKAGE}/ DESTINATION usbdrv)
endif()
