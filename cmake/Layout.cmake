# Where `cmake --install` puts the programs and the files they ship. KESTRELAN_LAYOUT is
#   folder  everything side by side in the prefix, as the programs have always been installed
#           beside a market (scripts/run: cmake --install build --prefix workspace);
#   system  the Debian layout under a prefix such as /usr: bin/ for the programs,
#           share/kestrelan/ for the help and the tables, with the desktop entry, the icons, the
#           AppStream metainfo and the manual pages (scripts/package).
# The programs find their data folder either way (platform/core/Folders.h, dataFolderOf): the
# prefix's share/kestrelan beside their bin folder when there is one, else their own folder. The
# build tree mirrors the system layout in build/share/kestrelan, so programs run from the build
# tree find the same files.
#
# A file the programs read at run time is added with
#   kestrelan_data_files([SUBDIR dir] FILES a.csv b.csv)
# which copies it into build/share/kestrelan[/dir] and installs it into the layout's data folder.

set(KESTRELAN_LAYOUT folder CACHE STRING "What cmake --install lays out: folder (side by side) or system (/usr: bin, share)")
set_property(CACHE KESTRELAN_LAYOUT PROPERTY STRINGS folder system)
if(KESTRELAN_LAYOUT STREQUAL "system")
    include(GNUInstallDirs)
    set(KESTRELAN_INSTALL_BIN ${CMAKE_INSTALL_BINDIR})
    set(KESTRELAN_INSTALL_DATA ${CMAKE_INSTALL_DATADIR}/kestrelan)
elseif(KESTRELAN_LAYOUT STREQUAL "folder")
    set(KESTRELAN_INSTALL_BIN .)
    set(KESTRELAN_INSTALL_DATA .)
else()
    message(FATAL_ERROR "KESTRELAN_LAYOUT must be folder or system, not \"${KESTRELAN_LAYOUT}\"")
endif()
# Folders made by the install are rwxr-xr-x whatever the umask (Debian's packages want them so).
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(KESTRELAN_BUILD_DATA ${PROJECT_BINARY_DIR}/share/kestrelan)
file(MAKE_DIRECTORY ${KESTRELAN_BUILD_DATA})

function(kestrelan_data_files)
    cmake_parse_arguments(arg "" "SUBDIR" "FILES" ${ARGN})
    set(build_dir ${KESTRELAN_BUILD_DATA})
    set(install_dir ${KESTRELAN_INSTALL_DATA})
    if(arg_SUBDIR)
        string(APPEND build_dir /${arg_SUBDIR})
        string(APPEND install_dir /${arg_SUBDIR})
    endif()
    foreach(file IN LISTS arg_FILES)
        get_filename_component(name ${file} NAME)
        configure_file(${file} ${build_dir}/${name} COPYONLY)
    endforeach()
    install(FILES ${arg_FILES} DESTINATION ${install_dir})
endfunction()
