# The optional parts of the build. Each is AUTO, ON or OFF:
#   AUTO  build it when what it needs is installed, and say so in the summary either way;
#   ON    it is required: configure fails and names the Debian package that is missing;
#   OFF   never build it.
# kestrelan_summary() prints one screen of what will be built and what will not, and why.

set_property(GLOBAL PROPERTY KESTRELAN_SUMMARY "  kestrelan-cli       yes  the engine and the command line (always)")

# Declares the tri-state cache option NAME with its help text and default.
function(kestrelan_part name help default)
    set(${name} ${default} CACHE STRING "${help} (AUTO, ON or OFF)")
    set_property(CACHE ${name} PROPERTY STRINGS AUTO ON OFF)
    string(TOUPPER "${${name}}" value)
    if(value STREQUAL "TRUE" OR value STREQUAL "YES" OR value STREQUAL "1")
        set(value ON)
    elseif(value STREQUAL "FALSE" OR value STREQUAL "NO" OR value STREQUAL "0")
        set(value OFF)
    endif()
    if(NOT value MATCHES "^(AUTO|ON|OFF)$")
        message(FATAL_ERROR "${name} must be AUTO, ON or OFF, not \"${${name}}\"")
    endif()
    set(${name}_MODE ${value} PARENT_SCOPE)
endfunction()

# True in OUT when the part NAME is to be looked for: AUTO or ON, and not a fuzz build (which
# builds the fuzz targets alone). BUILD, the part's "is built" variable, starts FALSE.
function(kestrelan_part_wanted name out build)
    set(${build} FALSE PARENT_SCOPE)
    if(fuzz_build)
        set(${out} FALSE PARENT_SCOPE)
    elseif(${name}_MODE STREQUAL "OFF")
        set(${out} FALSE PARENT_SCOPE)
        kestrelan_part_note("${name}" "off" "turned off (-D${name}=OFF)")
    else()
        set(${out} TRUE PARENT_SCOPE)
    endif()
endfunction()

# Sets BUILD to FOUND and records the result (kestrelan_part_result).
macro(kestrelan_part_found name build found what packages why)
    if(${found})
        set(${build} TRUE)
    else()
        set(${build} FALSE)
    endif()
    kestrelan_part_result(${name} ${${build}} "${what}" "${packages}" "${why}")
endmacro()

# Records whether the part NAME is built. When it is not and the part is ON, configure stops
# with the packages that are missing.
#   kestrelan_part_result(NAME FOUND "what it builds" "debian-package ..." ["why, when not found"])
function(kestrelan_part_result name found what packages)
    set(why "${ARGN}")
    if(found)
        kestrelan_part_note("${name}" "yes" "${what}")
        return()
    endif()
    if(why STREQUAL "")
        set(why "needs ${packages}")
    endif()
    if(${name}_MODE STREQUAL "ON")
        message(FATAL_ERROR
            "${name}=ON but ${what} cannot be built: ${why}.\n"
            "Install the Debian package(s): ${packages}\n"
            "(scripts/install-deps installs everything), or configure with -D${name}=AUTO or OFF.")
    endif()
    kestrelan_part_note("${name}" "no" "${what}: ${why} (apt-get install ${packages})")
endfunction()

function(kestrelan_part_note name built text)
    get_property(lines GLOBAL PROPERTY KESTRELAN_SUMMARY)
    string(LENGTH "${name}" length)
    math(EXPR pad "20 - ${length}")
    if(pad LESS 1)
        set(pad 1)
    endif()
    string(REPEAT " " ${pad} spaces)
    string(LENGTH "${built}" length)
    math(EXPR pad "4 - ${length}")
    string(REPEAT " " ${pad} spaces2)
    list(APPEND lines "  ${name}${spaces}${built}${spaces2} ${text}")
    set_property(GLOBAL PROPERTY KESTRELAN_SUMMARY "${lines}")
endfunction()

function(kestrelan_summary)
    get_property(lines GLOBAL PROPERTY KESTRELAN_SUMMARY)
    set(text "\nKestrelan ${PROJECT_VERSION} (${CMAKE_BUILD_TYPE}, ${CMAKE_CXX_COMPILER_ID} ${CMAKE_CXX_COMPILER_VERSION}):\n")
    foreach(line IN LISTS lines)
        string(APPEND text "${line}\n")
    endforeach()
    message(STATUS "${text}")
endfunction()
