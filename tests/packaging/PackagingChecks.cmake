# Shared by the two packaging checks: what an installed tessel consists of, relative to the
# prefix, and small helpers.

# Files every install holds: the programs, and with the desktop client its entry, icons and
# manual (every page of docs/manual).
function(tessel_expected_files out)
    set(files "")
    foreach(program ${PROGRAMS})
        list(APPEND files bin/${program})
    endforeach()
    if(WITH_GUI)
        list(APPEND files share/applications/tessel.desktop
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
