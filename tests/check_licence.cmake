# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a source file or script of the project does not name its licence in its first lines.
set(tag "SPDX-License-Identifier: GPL-3.0-or-later")
file(GLOB_RECURSE files LIST_DIRECTORIES false
     RELATIVE ${ROOT}
     ${ROOT}/src/* ${ROOT}/tests/* ${ROOT}/bench/* ${ROOT}/fuzz/* ${ROOT}/data/* ${ROOT}/scripts/*
     ${ROOT}/.ci/*)
list(APPEND files CMakeLists.txt)
set(checked 0)
set(missing "")
foreach(file IN LISTS files)
    if(NOT file MATCHES "(\\.cpp|\\.h|\\.h\\.in|\\.cmake|\\.sh|\\.py|/CMakeLists\\.txt|^CMakeLists\\.txt|^\\.ci/run)$"
       OR file MATCHES "^fuzz/corpus/")
        continue()
    endif()
    file(STRINGS ${ROOT}/${file} head LIMIT_COUNT 2)
    string(FIND "${head}" "${tag}" at)
    if(at EQUAL -1)
        list(APPEND missing ${file})
    endif()
    math(EXPR checked "${checked} + 1")
endforeach()
if(missing)
    list(JOIN missing "\n  " list)
    message(FATAL_ERROR "no \"${tag}\" in the first two lines of:\n  ${list}")
endif()
if(checked LESS 100)
    message(FATAL_ERROR "only ${checked} files checked: the check is looking in the wrong place")
endif()
message(STATUS "${checked} files name their licence")
