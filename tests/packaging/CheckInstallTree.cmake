# SPDX-License-Identifier: MIT

# cmake --install into a fresh prefix, then check that every file is where the desktop looks
# for it.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/PackagingChecks.cmake)

set(prefix ${WORK_DIR}/install-tree)
file(REMOVE_RECURSE ${prefix})
tessel_run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

tessel_expected_files(expected)
set(missing "")
foreach(file ${expected})
    if(NOT EXISTS ${prefix}/${file})
        list(APPEND missing ${file})
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "not installed: ${missing}")
endif()

if(WITH_GUI)
    # Each bitmap has the size its folder promises (the PNG header's width and height).
    foreach(size ${ICON_SIZES})
        file(READ ${prefix}/share/icons/hicolor/${size}x${size}/apps/tessel.png header
             OFFSET 16 LIMIT 8 HEX)
        string(SUBSTRING ${header} 0 8 w)
        string(SUBSTRING ${header} 8 8 h)
        math(EXPR w "0x${w}")
        math(EXPR h "0x${h}")
        if(NOT w EQUAL size OR NOT h EQUAL size)
            message(FATAL_ERROR "${size}x${size} icon is ${w}x${h}")
        endif()
    endforeach()
    # The entry starts the installed program with the installed icon, keeping its files in the
    # XDG data folder, in the Internet menu.
    file(READ ${prefix}/share/applications/tessel.desktop entry)
    if(NOT entry MATCHES "\nExec=tessel --xdg-data\n" OR NOT entry MATCHES "\nIcon=tessel\n"
       OR NOT entry MATCHES "\nCategories=Network;Chat;\n")
        message(FATAL_ERROR "tessel.desktop does not start tessel from the menu:\n${entry}")
    endif()
endif()

file(REMOVE_RECURSE ${prefix})
