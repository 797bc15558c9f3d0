# Makes the Windows packages from the Windows build: the folder a user runs,
# with every program and DLL stripped, as a portable zip and as an MSI.
#
#   cmake -DSETTINGS=FILE [-DVAR=VALUE...] -P windowspackages.cmake
#
# FILE, written by the Linux build, sets what is not given: WINDOWS_BUILD
# (the build to install), STAGE_DIR, OUTPUT_DIR, VERSION, DRIVER_PACKAGE,
# ICON_FILE, WXS_FILE and the tools STRIP, WIXL, WIXL_HEAT and OSSLSIGNCODE.
# LAYOUT_DIR makes the packages of a folder laid out already, as it is.
# With ZORVEL_SIGN_CERT and ZORVEL_SIGN_KEY (PEM files) in the environment,
# our programs and the MSI are signed, with a time stamp from
# ZORVEL_SIGN_TIMESTAMP (a time-stamp server's address) when it answers.
cmake_minimum_required(VERSION 3.16)
include(${SETTINGS})

set(name zorvel-custom-config-${VERSION}-win64)
set(folder "ZORVEL Custom Config")
set(sign_cert $ENV{ZORVEL_SIGN_CERT})
set(sign_key $ENV{ZORVEL_SIGN_KEY})
set(timestamp $ENV{ZORVEL_SIGN_TIMESTAMP})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "${command} failed:\n${output}")
    endif()
endfunction()

# Signs in place: osslsigncode writes a new file only.
function(sign file)
    set(command ${OSSLSIGNCODE} sign -certs ${sign_cert} -key ${sign_key} -n "ZORVEL Custom Config" -h sha256)
    file(REMOVE ${file}.signed)
    if(timestamp)
        execute_process(COMMAND ${command} -ts ${timestamp} -in ${file} -out ${file}.signed
            RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
        if(result EQUAL 0)
            file(RENAME ${file}.signed ${file})
            return()
        endif()
        message(STATUS "No time stamp from ${timestamp}: ${file} is signed without one")
        file(REMOVE ${file}.signed)
    endif()
    run(${command} -in ${file} -out ${file}.signed)
    file(RENAME ${file}.signed ${file})
endfunction()

function(size_text path variable)
    set(bytes 0)
    if(IS_DIRECTORY ${path})
        file(GLOB_RECURSE files LIST_DIRECTORIES false ${path}/*)
    else()
        set(files ${path})
    endif()
    foreach(file IN LISTS files)
        file(SIZE ${file} size)
        math(EXPR bytes "${bytes} + ${size}")
    endforeach()
    math(EXPR tenths "(${bytes} * 10 + 524288) / 1048576")
    math(EXPR whole "${tenths} / 10")
    math(EXPR tenth "${tenths} % 10")
    set(${variable} "${whole}.${tenth} MiB (${bytes} bytes)" PARENT_SCOPE)
endfunction()

if(DRIVER_PACKAGE)
    set(driver yes)
else()
    set(driver no)
endif()

# Our own programs; a driver package goes as its maker built and signed it.
set(ours Maritor.exe zorvel.exe usbdrv/Tarnwick.exe)
if(NOT DRIVER_PACKAGE)
    list(APPEND ours usbdrv/DPInst.exe usbdrv/DPInst64.exe)
endif()

if(NOT LAYOUT_DIR)
    set(LAYOUT_DIR ${STAGE_DIR}/${folder})
    file(REMOVE_RECURSE ${STAGE_DIR})
    run(${CMAKE_COMMAND} --install ${WINDOWS_BUILD} --prefix ${LAYOUT_DIR})
    file(GLOB_RECURSE binaries LIST_DIRECTORIES false ${LAYOUT_DIR}/*.exe ${LAYOUT_DIR}/*.dll)
    list(FILTER binaries EXCLUDE REGEX "/usbdrv/")
    foreach(program IN LISTS ours)
        list(APPEND binaries ${LAYOUT_DIR}/${program})
    endforeach()
    list(REMOVE_DUPLICATES binaries)
    foreach(binary IN LISTS binaries)
        run(${STRIP} --strip-unneeded ${binary})
    endforeach()
    if(sign_cert AND sign_key)
        foreach(program IN LISTS ours)
            sign(${LAYOUT_DIR}/${program})
        endforeach()
    endif()
endif()

file(MAKE_DIRECTORY ${OUTPUT_DIR})
get_filename_component(layout_parent ${LAYOUT_DIR} DIRECTORY)
get_filename_component(layout_name ${LAYOUT_DIR} NAME)
set(zip ${OUTPUT_DIR}/${name}.zip)
file(REMOVE ${zip})
run(${CMAKE_COMMAND} -E chdir ${layout_parent} ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${layout_name})

# wixl-heat lists the layout's files as components, one a file, with
# component codes that follow from their paths.
set(work ${OUTPUT_DIR}/msi-work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(GLOB_RECURSE files LIST_DIRECTORIES false ${LAYOUT_DIR}/*)
list(SORT files)
list(JOIN files "\n" file_list)
file(WRITE ${work}/files "${file_list}\n")
execute_process(COMMAND ${WIXL_HEAT} -p ${LAYOUT_DIR}/ --component-group Payload --var var.PayloadDir
        --directory-ref INSTALLDIR --win64
    INPUT_FILE ${work}/files OUTPUT_FILE ${work}/payload.wxs RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "wixl-heat failed")
endif()
# One product code a version: the same version again is the same product,
# which Windows does not install twice.
string(UUID product_code NAMESPACE 93A7B92A-6400-4C83-9E62-9E43CF6B877A NAME "ZORVEL Custom Config ${VERSION}"
    TYPE SHA1 UPPER)
# wixl takes the files it packs by paths relative to the source's folder.
set(msi ${OUTPUT_DIR}/${name}.msi)
file(REMOVE ${msi})
file(COPY ${WXS_FILE} ${ICON_FILE} DESTINATION ${work})
get_filename_component(wxs_name ${WXS_FILE} NAME)
get_filename_component(icon_name ${ICON_FILE} NAME)
file(RELATIVE_PATH payload ${work} ${LAYOUT_DIR})
run(${CMAKE_COMMAND} -E chdir ${work} ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product_code}
    -D PayloadDir=${payload} -D IconFile=${icon_name} -D DriverPackage=${driver} -D Win64=yes -o ${msi}
    ${wxs_name} payload.wxs)
file(REMOVE_RECURSE ${work})
if(sign_cert AND sign_key)
    sign(${msi})
endif()

size_text(${LAYOUT_DIR} layout_size)
size_text(${zip} zip_size)
size_text(${msi} msi_size)
if(DRIVER_PACKAGE)
    message(STATUS "Driver folder: the driver package in ${DRIVER_PACKAGE}")
else()
    message(STATUS "Driver folder: no driver package; DPInst.exe and DPInst64.exe say where it goes")
endif()
message(STATUS "Installed folder: ${LAYOUT_DIR}, ${layout_size}")
message(STATUS "Zip: ${zip}, ${zip_size}")
message(STATUS "MSI: ${msi}, ${msi_size}")
