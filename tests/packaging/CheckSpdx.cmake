# SPDX-License-Identifier: MIT
# scripts/spdx on a scratch git tree holding one file of every kind it knows and some it must
# leave alone: --check lists exactly the files that lack the line, a run adds it in each
# one's comment form (under a shebang), a second run changes nothing.
cmake_minimum_required(VERSION 3.25)

find_program(GIT git)
find_program(PYTHON3 python3)
if(NOT GIT OR NOT PYTHON3)
    message(FATAL_ERROR "git and python3 are needed (scripts/install-deps installs them)")
endif()

set(tree ${WORK_DIR}/spdx-tree)
file(REMOVE_RECURSE ${tree})
file(MAKE_DIRECTORY ${tree}/src ${tree}/scripts ${tree}/man)

# name | contents | expected contents after the run ("=" means unchanged)
set(cases
    "src/a.cpp|#include <x>\n|// SPDX-License-Identifier: MIT\n\n#include <x>\n"
    "src/a.h|// What a is.\n#pragma once\n|// SPDX-License-Identifier: MIT\n\n// What a is.\n#pragma once\n"
    "src/v.h.in|#pragma once\n|// SPDX-License-Identifier: MIT\n\n#pragma once\n"
    "CMakeLists.txt|project(x)\n|# SPDX-License-Identifier: MIT\n\nproject(x)\n"
    "src/more.cmake|set(a 1)\n|# SPDX-License-Identifier: MIT\n\nset(a 1)\n"
    "scripts/run|#!/usr/bin/env bash\necho hi\n|#!/usr/bin/env bash\n# SPDX-License-Identifier: MIT\necho hi\n"
    "scripts/tool|#!/usr/bin/env python3\nprint(1)\n|#!/usr/bin/env python3\n# SPDX-License-Identifier: MIT\nprint(1)\n"
    "man/x.1|.TH X 1\n|.\\\" SPDX-License-Identifier: MIT\n\n.TH X 1\n"
    "src/done.cpp|// SPDX-License-Identifier: MIT\n\n// the rest\n|="
    "scripts/done|#!/bin/sh\n# SPDX-License-Identifier: MIT\n|="
    "README.md|# x\n|="
    "data.txt|plain\n|="
    "notes|no shebang here\n|="
)
set(lacking "")
foreach(entry ${cases})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 before)
    list(GET parts 2 after)
    string(REPLACE "\\n" "\n" before "${before}")
    file(WRITE ${tree}/${name} "${before}")
    if(NOT after STREQUAL "=")
        list(APPEND lacking ${name})
    endif()
endforeach()
file(CHMOD ${tree}/scripts/run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${GIT} -C ${tree} init -q)
execute_process(COMMAND ${GIT} -C ${tree} add -A)

set(spdx ${SOURCE_DIR}/scripts/spdx)
execute_process(COMMAND ${PYTHON3} ${spdx} -C ${tree} --check RESULT_VARIABLE status
                OUTPUT_VARIABLE listed ERROR_QUIET)
string(REGEX REPLACE "\n$" "" listed "${listed}")
string(REPLACE "\n" ";" listed "${listed}")
list(SORT listed)
list(SORT lacking)
if(NOT status EQUAL 1 OR NOT listed STREQUAL lacking)
    message(FATAL_ERROR "--check gave ${status} and listed '${listed}', expected 1 and '${lacking}'")
endif()

execute_process(COMMAND ${PYTHON3} ${spdx} -C ${tree} RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "scripts/spdx failed (${status})")
endif()
foreach(entry ${cases})
    string(REPLACE "|" ";" parts "${entry}")
    list(GET parts 0 name)
    list(GET parts 1 before)
    list(GET parts 2 after)
    if(after STREQUAL "=")
        set(after "${before}")
    endif()
    string(REPLACE "\\n" "\n" after "${after}")
    file(READ ${tree}/${name} now)
    if(NOT now STREQUAL after)
        message(FATAL_ERROR "${name} after scripts/spdx:\n${now}\nexpected:\n${after}")
    endif()
endforeach()
# A script stays runnable.
execute_process(COMMAND ${tree}/scripts/run RESULT_VARIABLE status OUTPUT_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said STREQUAL "hi\n")
    message(FATAL_ERROR "scripts/run no longer runs after scripts/spdx (${status}: ${said})")
endif()

# Nothing left to do: a second run and --check change and list nothing.
execute_process(COMMAND ${PYTHON3} ${spdx} -C ${tree} OUTPUT_VARIABLE second)
execute_process(COMMAND ${PYTHON3} ${spdx} -C ${tree} --check RESULT_VARIABLE status
                OUTPUT_VARIABLE listed)
if(NOT second STREQUAL "" OR NOT status EQUAL 0 OR NOT listed STREQUAL "")
    message(FATAL_ERROR "not idempotent: second run said '${second}', --check ${status} '${listed}'")
endif()
file(REMOVE_RECURSE ${tree})
