# SPDX-License-Identifier: MIT

# Builds the Debian package of the current build into a scratch folder and checks its file
# list and control fields.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/PackagingChecks.cmake)

find_program(DPKG_DEB dpkg-deb)
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT DPKG_DEB OR NOT DPKG_SHLIBDEPS)
    message("SKIPPED: dpkg-deb or dpkg-shlibdeps is not installed")
    return()
endif()

set(out ${WORK_DIR}/package)
file(REMOVE_RECURSE ${out})
file(MAKE_DIRECTORY ${out})
tessel_run(${CPACK} -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${out})
file(GLOB debs ${out}/tessel_*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one tessel_*.deb in ${out}, found: ${debs}")
endif()

execute_process(COMMAND ${DPKG_DEB} -c ${debs} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -c failed on ${debs}")
endif()
tessel_expected_files(expected)
foreach(file ${expected})
    string(FIND "${listing}" " ./usr/${file}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "package lacks /usr/${file}:\n${listing}")
    endif()
endforeach()

execute_process(COMMAND ${DPKG_DEB} -f ${debs} Package Depends Architecture
                OUTPUT_VARIABLE fields RESULT_VARIABLE status)
if(NOT fields MATCHES "Package: tessel\n")
    message(FATAL_ERROR "package name is not tessel:\n${fields}")
endif()
# dpkg-shlibdeps found the C++ runtime every program links.
if(NOT fields MATCHES "Depends: [^\n]*libstdc\\+\\+6")
    message(FATAL_ERROR "library dependencies missing:\n${fields}")
endif()
# The desktop client also needs Qt, the multimedia library, the SVG plugins and a Japanese font.
if("tessel" IN_LIST PROGRAMS)
    foreach(package libqt6widgets6 libqt6multimedia6 libqt6svg6 qt6-translations-l10n
                    fonts-ipafont-gothic)
        if(NOT fields MATCHES "Depends: [^\n]*${package}")
            message(FATAL_ERROR "package does not depend on ${package}:\n${fields}")
        endif()
    endforeach()
endif()

# The version of project() is the package's.
execute_process(COMMAND ${DPKG_DEB} -f ${debs} Version Section OUTPUT_VARIABLE fields)
if(NOT fields MATCHES "Version: ${VERSION}\n" OR NOT fields MATCHES "Section: net\n")
    message(FATAL_ERROR "package is not version ${VERSION} in section net:\n${fields}")
endif()
get_filename_component(deb_name ${debs} NAME)
if(NOT deb_name MATCHES "^tessel_${VERSION}_[a-z0-9]+\\.deb$")
    message(FATAL_ERROR "package file ${deb_name} is not named by version ${VERSION}")
endif()

# What follows judges a release, and a sanitizer build is none: its package is only checked
# for what it holds (above).
if(SANITIZE)
    file(REMOVE_RECURSE ${out})
    return()
endif()

# What a distribution reviewer runs first: no error, no warning (overrides only where the
# package carries them).
find_program(LINTIAN lintian)
if(NOT LINTIAN)
    message(FATAL_ERROR "lintian is missing (scripts/install-deps installs it)")
endif()
execute_process(COMMAND ${LINTIAN} --fail-on error,warning --display-level ">=warning" ${debs}
                RESULT_VARIABLE status OUTPUT_VARIABLE report ERROR_VARIABLE report)
if(NOT status EQUAL 0 OR report MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian is not clean on ${deb_name}:\n${report}")
endif()

set(tree ${out}/tree)
tessel_run(${DPKG_DEB} -x ${debs} ${tree})
tessel_check_package_tree(${tree}/usr)

file(REMOVE_RECURSE ${out})
