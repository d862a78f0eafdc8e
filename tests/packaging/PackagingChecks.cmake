# SPDX-License-Identifier: MIT

# Shared by the two packaging checks: what an installed tessel consists of, relative to the
# prefix, and small helpers.

# Files every install holds: the programs with their manual pages, the licence and changelog,
# and with the desktop client its entry, metainfo, icons, Japanese manual page and manual
# (every page of docs/manual).
function(tessel_expected_files out)
    set(files share/doc/tessel/copyright share/doc/tessel/changelog.gz)
    # Every program has its manual page in English and Japanese.
    foreach(program ${PROGRAMS})
        list(APPEND files bin/${program} share/man/man1/${program}.1.gz
                          share/man/ja/man1/${program}.1.gz)
    endforeach()
    if(WITH_GUI)
        list(APPEND files share/applications/tessel.desktop
                          share/metainfo/${APP_ID}.metainfo.xml
                          share/icons/hicolor/scalable/apps/tessel.svg)
        foreach(size ${ICON_SIZES})
            list(APPEND files share/icons/hicolor/${size}x${size}/apps/tessel.png)
        endforeach()
        file(GLOB pages RELATIVE ${SOURCE_DIR}/docs/manual
             ${SOURCE_DIR}/docs/manual/*.html ${SOURCE_DIR}/docs/manual/*.css)
        foreach(page ${pages})
            list(APPEND files share/tessel/help/${page})
        endforeach()
    endif()
    set(${out} ${files} PARENT_SCOPE)
endfunction()

function(tessel_run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                    ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}")
    endif()
endfunction()

# Reads the output of a command; fails the check when it does not exit with 0.
function(tessel_output out)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output
                    ERROR_VARIABLE errors)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "failed (${status}): ${ARGN}\n${output}${errors}")
    endif()
    set(${out} "${output}" PARENT_SCOPE)
    set(${out}_errors "${errors}" PARENT_SCOPE)
endfunction()

# What the package holds is valid for the tools that read it, carries one version, and the
# desktop client started as its menu entry starts it writes nothing into the home directory.
# `prefix` is the unpacked /usr.
function(tessel_check_package_tree prefix)
    foreach(tool desktop-file-validate appstreamcli man gzip)
        find_program(tool_path_${tool} ${tool})
        if(NOT tool_path_${tool})
            message(FATAL_ERROR "${tool} is missing (scripts/install-deps installs it)")
        endif()
    endforeach()

    # Licence: the machine-readable copyright file grants our MIT licence word for word and
    # names the licences of the libraries the programs link.
    file(READ ${prefix}/share/doc/tessel/copyright copyright)
    if(NOT copyright MATCHES "^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       OR NOT copyright MATCHES "\nFiles: \\*\nCopyright: [0-9]+ the tessel developers\nLicense: MIT\n")
        message(FATAL_ERROR "copyright file is not in the machine-readable format:\n${copyright}")
    endif()
    file(STRINGS ${SOURCE_DIR}/LICENSE licence_lines)
    list(SUBLIST licence_lines 3 -1 grant)  # past the title and the copyright line
    foreach(line ${grant})
        string(FIND "${copyright}" " ${line}\n" at)
        if(at LESS 0)
            message(FATAL_ERROR "copyright file lacks the licence line '${line}'")
        endif()
    endforeach()
    if("tessel" IN_LIST PROGRAMS AND NOT copyright MATCHES "Qt 6[^\n]*\n[^\n]*LGPL-3")
        message(FATAL_ERROR "copyright file does not name Qt's licence:\n${copyright}")
    endif()
    if("tessel-relay" IN_LIST PROGRAMS AND NOT copyright MATCHES "hiredis[^\n]*\n[^\n]*BSD")
        message(FATAL_ERROR "copyright file does not name hiredis's licence:\n${copyright}")
    endif()

    # One version: the changelog's newest entry and every program's --version.
    tessel_output(changelog ${tool_path_gzip} -dc ${prefix}/share/doc/tessel/changelog.gz)
    if(NOT changelog MATCHES "^tessel \\(${VERSION}\\) ")
        message(FATAL_ERROR "changelog does not start at ${VERSION}:\n${changelog}")
    endif()
    # As from a bug reporter's terminal: no display needed.
    unset(ENV{DISPLAY})
    unset(ENV{WAYLAND_DISPLAY})
    unset(ENV{QT_QPA_PLATFORM})
    foreach(program ${PROGRAMS})
        tessel_output(answer ${prefix}/bin/${program} --version)
        if(NOT answer STREQUAL "${program} ${VERSION}\n")
            message(FATAL_ERROR "${program} --version says '${answer}', not ${VERSION}")
        endif()
    endforeach()

    # Manual pages format without a warning and document the program and version they are for.
    file(GLOB_RECURSE pages ${prefix}/share/man/*.1.gz)
    foreach(page ${pages})
        get_filename_component(name ${page} NAME_WE)
        set(ENV{LC_ALL} C.UTF-8)
        set(ENV{MANWIDTH} 80)
        tessel_output(text ${tool_path_man} --warnings -E UTF-8 -l ${page})
        if(NOT text_errors STREQUAL "")
            message(FATAL_ERROR "man warns about ${page}:\n${text_errors}")
        endif()
        if(NOT text MATCHES "${name} - " OR NOT text MATCHES "tessel ${VERSION}")
            message(FATAL_ERROR "${page} is not the page of ${name} ${VERSION}:\n${text}")
        endif()
    endforeach()

    if(NOT "tessel" IN_LIST PROGRAMS)
        return()
    endif()
    tessel_output(report ${tool_path_desktop-file-validate}
                  ${prefix}/share/applications/tessel.desktop)
    if(NOT report STREQUAL "" OR NOT report_errors STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate:\n${report}${report_errors}")
    endif()
    # Offline: the screenshot's address is where the project publishes it, not reachable here.
    set(metainfo ${prefix}/share/metainfo/${APP_ID}.metainfo.xml)
    tessel_output(report ${tool_path_appstreamcli} validate --no-net --pedantic ${metainfo})
    file(READ ${metainfo} text)
    if(NOT text MATCHES "<release version=\"${VERSION}\" date=\"[0-9]+-[0-9]+-[0-9]+\"/>"
       OR NOT text MATCHES "<image>https://[^<]+\\.png</image>"
       OR NOT text MATCHES "<launchable type=\"desktop-id\">tessel.desktop</launchable>")
        message(FATAL_ERROR "metainfo lacks the release, screenshot or launcher:\n${text}")
    endif()

    # The client as the menu starts it, for a new user: the Exec line of the packaged entry,
    # an empty home directory that is also the working directory, no XDG variables. It is
    # stopped while its connect dialog waits; by then it has made its folder and must have
    # written nothing else.
    file(STRINGS ${prefix}/share/applications/tessel.desktop exec REGEX "^Exec=")
    string(REGEX REPLACE "^Exec=tessel" "${prefix}/bin/tessel" exec "${exec}")
    separate_arguments(exec UNIX_COMMAND "${exec}")
    set(home ${WORK_DIR}/menu-home)
    file(REMOVE_RECURSE ${home})
    file(MAKE_DIRECTORY ${home})
    set(ENV{HOME} ${home})
    foreach(variable XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_STATE_HOME)
        unset(ENV{${variable}})
    endforeach()
    set(ENV{QT_QPA_PLATFORM} offscreen)
    execute_process(COMMAND ${exec} WORKING_DIRECTORY ${home} TIMEOUT 4
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(status MATCHES "^[0-9]+$")
        message(FATAL_ERROR "the menu-started client ended (${status}) instead of waiting:\n${output}")
    endif()
    if(NOT IS_DIRECTORY ${home}/.local/share/tessel)
        message(FATAL_ERROR "the menu-started client did not make ~/.local/share/tessel")
    endif()
    file(GLOB_RECURSE written RELATIVE ${home} LIST_DIRECTORIES false ${home}/* ${home}/.*)
    foreach(file ${written})
        if(NOT file MATCHES "^\\.local/share/tessel/")
            message(FATAL_ERROR "the menu-started client wrote ${file} outside its folder")
        endif()
    endforeach()
    file(REMOVE_RECURSE ${home})
endfunction()
