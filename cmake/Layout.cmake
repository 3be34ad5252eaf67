# Where `cmake --install` puts the programs and the files they ship. Every build installs both
# layouts:
#   side by side (the default install): everything in the prefix, as the programs have always
#       been installed beside a market (scripts/run: cmake --install build --prefix workspace);
#   the component "system" (cmake --install build --component system --prefix /usr, which the
#       Debian package holds, scripts/package): bin/ for the programs, share/kestrelan/ for the
#       help and the tables, with the desktop entry, the icons, the AppStream metainfo and the
#       manual pages (packaging/). A default install leaves it out.
# The programs find their data folder either way (platform/core/Folders.h, dataFolderOf): the
# prefix's share/kestrelan beside their bin folder when there is one, else their own folder. The
# build tree mirrors the system layout in build/share/kestrelan, so programs run from the build
# tree (and the tests) find the same files.
#
# A program is installed with kestrelan_install_programs(target...), a file the programs read at
# run time with
#   kestrelan_data_files([SUBDIR dir] FILES a.csv b.csv)
# which copies it into build/share/kestrelan[/dir] and installs it into both layouts' data folder.

include(GNUInstallDirs)
set(KESTRELAN_SYSTEM_BIN ${CMAKE_INSTALL_BINDIR})
set(KESTRELAN_SYSTEM_DATA ${CMAKE_INSTALL_DATADIR}/kestrelan)
set(KESTRELAN_BUILD_DATA ${PROJECT_BINARY_DIR}/share/kestrelan)
file(MAKE_DIRECTORY ${KESTRELAN_BUILD_DATA})
# Folders made by the install are rwxr-xr-x whatever the umask (Debian's packages want them so).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

function(kestrelan_install_programs)
    install(TARGETS ${ARGN} RUNTIME DESTINATION .)
    install(TARGETS ${ARGN} RUNTIME DESTINATION ${KESTRELAN_SYSTEM_BIN} COMPONENT system EXCLUDE_FROM_ALL)
    add_dependencies(kestrelan_programs ${ARGN})
endfunction()

# Files that are built rather than kept in the source tree go in with kestrelan_install_built_data
# (the build puts its own copy into KESTRELAN_BUILD_DATA).
function(kestrelan_install_built_data)
    cmake_parse_arguments(arg "" "SUBDIR" "FILES" ${ARGN})
    set(folder .)
    set(system ${KESTRELAN_SYSTEM_DATA})
    if(arg_SUBDIR)
        set(folder ${arg_SUBDIR})
        string(APPEND system /${arg_SUBDIR})
    endif()
    install(FILES ${arg_FILES} DESTINATION ${folder})
    install(FILES ${arg_FILES} DESTINATION ${system} COMPONENT system EXCLUDE_FROM_ALL)
endfunction()

function(kestrelan_data_files)
    cmake_parse_arguments(arg "" "SUBDIR" "FILES" ${ARGN})
    set(build_dir ${KESTRELAN_BUILD_DATA})
    if(arg_SUBDIR)
        string(APPEND build_dir /${arg_SUBDIR})
    endif()
    foreach(file IN LISTS arg_FILES)
        get_filename_component(name ${file} NAME)
        configure_file(${file} ${build_dir}/${name} COPYONLY)
    endforeach()
    kestrelan_install_built_data(SUBDIR "${arg_SUBDIR}" FILES ${arg_FILES})
endfunction()
