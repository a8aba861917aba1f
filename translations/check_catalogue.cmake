# SPDX-License-Identifier: GPL-3.0-or-later
# Fails the build when a text the user can see has no English: lupdate reads the sources into a copy of
# the catalogue, where a text that is new or changed since the catalogue was written is "unfinished".
# -D LUPDATE=… SOURCES=<src folder> TS=<committed catalogue> WORK=<copy in the build folder> STAMP=<file>
file(COPY_FILE ${TS} ${WORK})
execute_process(COMMAND ${LUPDATE} -silent ${SOURCES} -ts ${WORK} -locations none -no-obsolete
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate could not read the sources (status ${status})")
endif()
file(READ ${WORK} catalogue)
# One list item per message; the texts themselves may hold semicolons.
string(REPLACE ";" "<semicolon>" catalogue "${catalogue}")
string(REPLACE "</message>" ";" messages "${catalogue}")
set(untranslated "")
foreach(message IN LISTS messages)
    # Unfinished (new or changed since the catalogue was written), or marked done but left empty.
    if(message MATCHES "type=\"unfinished\"|<translation/>|<translation></translation>|<numerusform></numerusform>"
       AND message MATCHES "<source>(.*)</source>")
        string(REPLACE "<semicolon>" ";" text "${CMAKE_MATCH_1}")
        string(REPLACE "<byte value=\"xd\"/>" "" text "${text}")
        string(APPEND untranslated "\n  ${text}")
    endif()
endforeach()
if(untranslated)
    message(FATAL_ERROR "These texts have no English in ${TS}:${untranslated}\n"
                        "Run `cmake --build <build folder> --target update_translations`, then write "
                        "their English in the catalogue (Qt Linguist, or by hand).")
endif()
file(TOUCH ${STAMP})
