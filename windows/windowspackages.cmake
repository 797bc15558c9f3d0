# Makes the Windows packages from the Windows build: the folder a user runs,
# with every program and DLL stripped, as a portable zip and as an MSI.
#
#   cmake -DSETTINGS=FILE [-DVAR=VALUE...] -P windowspackages.cmake
#
# FILE, written by the Linux build, sets what is not given: WINDOWS_BUILD
# (the build to install), STAGE_DIR, OUTPUT_DIR, VERSION, DRIVER_PACKAGE,
# ICON_FILE, WXS_FILE, MAKE_SPDX (the bill of materials' script) and the
# tools STRIP, WIXL, WIXL_HEAT, MSIBUILD, OSSLSIGNCODE, ZIP, FAKETIME and
# PYTHON3. LAYOUT_DIR makes the packages of a folder laid out already.
# The folder gets its bill of materials, zorvel-custom-config.spdx.json,
# which goes beside each package too (PACKAGE.spdx.json).
# With ZORVEL_SIGN_CERT and ZORVEL_SIGN_KEY (PEM files) in the environment,
# our programs and the MSI are signed, with a time stamp from
# ZORVEL_SIGN_TIMESTAMP (a time-stamp server's address) when it answers.
#
# The same folder gives the same packages: every time in them is
# SOURCE_DATE_EPOCH's (the present time's without it), files go in sorted
# with modes that follow their kind, and the MSI's codes follow from the
# version and the content.
cmake_minimum_required(VERSION 3.16)
include(${SETTINGS})

set(name zorvel-custom-config-${VERSION}-win64)
set(folder "ZORVEL Custom Config")
set(sign_cert $ENV{ZORVEL_SIGN_CERT})
set(sign_key $ENV{ZORVEL_SIGN_KEY})
set(timestamp $ENV{ZORVEL_SIGN_TIMESTAMP})
# CMake's time stamps are SOURCE_DATE_EPOCH's where it is set.
string(TIMESTAMP epoch "%s" UTC)
string(TIMESTAMP epoch_date "%Y-%m-%d %H:%M:%S" UTC)
set(bill_name zorvel-custom-config.spdx.json)

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/runcommand.cmake)

# Signs in place: osslsigncode writes a new file only. Without a time stamp
# the signing time is SOURCE_DATE_EPOCH's, so that signing again with the
# same key gives the same bytes.
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
    run(${command} -time ${epoch} -in ${file} -out ${file}.signed)
    file(RENAME ${file}.signed ${file})
endfunction()

# The bill of materials of the folder, in it and beside each package.
function(write_bill layout)
    set(options --root ${layout} --name zorvel-custom-config-win64 --version ${VERSION}
        --exclude ${bill_name} --output ${layout}/${bill_name})
    if(DRIVER_PACKAGE)
        list(APPEND options --driver-package)
    endif()
    run(${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch} ${PYTHON3} ${MAKE_SPDX} ${options})
endfunction()

# Modes from each entry's kind, not from the builder's umask, and one time.
function(normalize_entries layout)
    run(chmod -R u+rwX,go-w,go+rX ${layout})
    file(GLOB_RECURSE entries LIST_DIRECTORIES true ${layout}/*)
    run(touch -h -d @${epoch} ${layout} ${entries})
endfunction()

# Info-ZIP, given the entries in sorted order, without extra fields (owners,
# further times); its times are local ones, so in UTC.
function(make_zip layout zip)
    get_filename_component(parent ${layout} DIRECTORY)
    get_filename_component(top ${layout} NAME)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${parent} ${layout}/*)
    list(APPEND entries ${top})
    list(SORT entries)
    list(JOIN entries "\n" listing)
    file(WRITE ${zip}.entries "${listing}\n")
    file(REMOVE ${zip})
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP} -q -X -9 -@ ${zip}
        WORKING_DIRECTORY ${parent} INPUT_FILE ${zip}.entries RESULT_VARIABLE result ERROR_VARIABLE output)
    file(REMOVE ${zip}.entries)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "zip failed:\n${output}")
    endif()
endfunction()

# msibuild writes the summary anew: wixl's subject, author and template
# (one argument, which CMake would split at its semicolon), and the code.
function(set_package_code msi code)
    set(template "x64\;1033")
    execute_process(COMMAND ${MSIBUILD} ${msi} -s "ZORVEL Custom Config ${VERSION}" "ZORVEL Custom Config developers"
            ${template} "{${code}}"
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "msibuild failed:\n${output}")
    endif()
endfunction()

# wixl-heat draws its folders' ids at random: they are numbered in order of
# appearance instead. Its comment, which holds the folder's path, goes.
function(renumber_folders wxs)
    file(READ ${wxs} text)
    string(REGEX MATCHALL "\"dir[0-9A-F]+\"" ids "${text}")
    list(REMOVE_DUPLICATES ids)
    set(index 1000)
    foreach(id IN LISTS ids)
        math(EXPR index "${index} + 1")
        string(REPLACE "${id}" "\"dir_${index}\"" text "${text}")
    endforeach()
    string(REGEX REPLACE "<!-- wixl-heat [^\n]*-->\n?" "" text "${text}")
    file(WRITE ${wxs} "${text}")
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

write_bill(${LAYOUT_DIR})
normalize_entries(${LAYOUT_DIR})
file(MAKE_DIRECTORY ${OUTPUT_DIR})
set(zip ${OUTPUT_DIR}/${name}.zip)
make_zip(${LAYOUT_DIR} ${zip})

# wixl-heat lists the layout's files as components, one a file, with
# component codes that follow from their paths, given relative to the
# folder above the layout.
get_filename_component(layout_parent ${LAYOUT_DIR} DIRECTORY)
get_filename_component(layout_name ${LAYOUT_DIR} NAME)
set(work ${OUTPUT_DIR}/msi-work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${layout_parent} ${LAYOUT_DIR}/*)
list(SORT files)
list(JOIN files "\n" file_list)
file(WRITE ${work}/files "${file_list}\n")
execute_process(COMMAND ${WIXL_HEAT} -p ${layout_name}/ --component-group Payload --var var.PayloadDir
        --directory-ref INSTALLDIR --win64
    WORKING_DIRECTORY ${layout_parent} INPUT_FILE ${work}/files OUTPUT_FILE ${work}/payload.wxs
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "wixl-heat failed")
endif()
renumber_folders(${work}/payload.wxs)
# One product code a version: the same version again is the same product,
# which Windows does not install twice.
string(UUID product_code NAMESPACE 93A7B92A-6400-4C83-9E62-9E43CF6B877A NAME "ZORVEL Custom Config ${VERSION}"
    TYPE SHA1 UPPER)
# wixl takes the files it packs by paths relative to the source's folder,
# and dates the package by the clock, which stands still at SOURCE_DATE_EPOCH.
set(msi ${OUTPUT_DIR}/${name}.msi)
file(REMOVE ${msi})
file(COPY ${WXS_FILE} ${ICON_FILE} DESTINATION ${work})
get_filename_component(wxs_name ${WXS_FILE} NAME)
get_filename_component(icon_name ${ICON_FILE} NAME)
file(RELATIVE_PATH payload ${work} ${LAYOUT_DIR})
run(${CMAKE_COMMAND} -E chdir ${work} ${CMAKE_COMMAND} -E env TZ=UTC ${FAKETIME} -f ${epoch_date}
    ${WIXL} -a x64 -D Version=${VERSION} -D ProductCode=${product_code} -D PayloadDir=${payload}
    -D IconFile=${icon_name} -D DriverPackage=${driver} -D Win64=yes -o ${msi} ${wxs_name} payload.wxs)
file(REMOVE_RECURSE ${work})
# wixl draws the package code at random: it becomes one that follows from
# the package's content, read with a code of zeros in its place.
set_package_code(${msi} 00000000-0000-0000-0000-000000000000)
file(SHA256 ${msi} content)
string(UUID package_code NAMESPACE 93A7B92A-6400-4C83-9E62-9E43CF6B877A NAME "MSI package ${content}"
    TYPE SHA1 UPPER)
set_package_code(${msi} ${package_code})
if(sign_cert AND sign_key)
    sign(${msi})
endif()
foreach(package IN ITEMS ${zip} ${msi})
    configure_file(${LAYOUT_DIR}/${bill_name} ${package}.spdx.json COPYONLY)
endforeach()

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
