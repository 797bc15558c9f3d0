# Run by CPack after it made the Debian package: puts the package's bill of
# materials beside the licence in /opt/zorvel-custom-config and beside the
# package (PACKAGE.deb.spdx.json), and builds the package again with
# dpkg-deb, so that the same files give the same bytes: modes from the
# files' kinds rather than the builder's umask, owner root, every time
# SOURCE_DATE_EPOCH's (the present time's without it), members in sorted
# order, and an Installed-Size counted from the files rather than from the
# file system's folder sizes.

include(${CMAKE_CURRENT_LIST_DIR}/../cmake/runcommand.cmake)

# dpkg's md5sums: every regular file but the control files, sorted.
function(write_md5sums tree)
    file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${tree} ${tree}/*)
    list(FILTER files EXCLUDE REGEX "^DEBIAN/")
    list(SORT files)
    set(sums "")
    foreach(file IN LISTS files)
        if(NOT IS_SYMLINK ${tree}/${file})
            file(MD5 ${tree}/${file} sum)
            string(APPEND sums "${sum}  ${file}\n")
        endif()
    endforeach()
    file(WRITE ${tree}/DEBIAN/md5sums "${sums}")
endfunction()

# Installed-Size as dpkg-gencontrol counts it: each regular file's size in
# KiB, rounded up, and one for every other entry.
function(set_installed_size tree)
    file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE ${tree} ${tree}/*)
    list(FILTER entries EXCLUDE REGEX "^DEBIAN(/|$)")
    set(kibibytes 0)
    foreach(entry IN LISTS entries)
        if(IS_SYMLINK ${tree}/${entry} OR IS_DIRECTORY ${tree}/${entry})
            math(EXPR kibibytes "${kibibytes} + 1")
        else()
            file(SIZE ${tree}/${entry} bytes)
            math(EXPR kibibytes "${kibibytes} + (${bytes} + 1023) / 1024")
        endif()
    endforeach()
    file(READ ${tree}/DEBIAN/control control)
    string(REGEX REPLACE "Installed-Size: [0-9]+" "Installed-Size: ${kibibytes}" control "${control}")
    file(WRITE ${tree}/DEBIAN/control "${control}")
endfunction()

# CMake's time stamps are SOURCE_DATE_EPOCH's where it is set.
string(TIMESTAMP epoch "%s" UTC)
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    if(NOT deb MATCHES "\\.deb$")
        continue()
    endif()
    set(tree ${deb}.tree)
    file(REMOVE_RECURSE ${tree})
    run(dpkg-deb -R ${deb} ${tree})
    run(chmod -R u+rwX,go-w,go+rX ${tree})
    set(bill ${tree}${CPACK_ZORVEL_PACKAGE_FOLDER}/zorvel-custom-config.spdx.json)
    run(${CPACK_ZORVEL_PYTHON} ${CPACK_ZORVEL_MAKE_SPDX} --root ${tree} --name ${CPACK_PACKAGE_NAME}
        --version ${CPACK_PACKAGE_VERSION} --all-ours --exclude DEBIAN --output ${bill})
    write_md5sums(${tree})
    set_installed_size(${tree})
    run(chmod 644 ${tree}/DEBIAN/control ${tree}/DEBIAN/md5sums ${bill})
    file(GLOB_RECURSE entries LIST_DIRECTORIES true ${tree}/*)
    run(touch -h -d @${epoch} ${tree} ${entries})
    run(dpkg-deb --root-owner-group -Zxz --build ${tree} ${deb})
    # CPack copies the package itself from its work folder to its output.
    get_filename_component(name ${deb} NAME)
    configure_file(${bill} ${CPACK_PACKAGE_DIRECTORY}/${name}.spdx.json COPYONLY)
    file(REMOVE_RECURSE ${tree})
endforeach()
