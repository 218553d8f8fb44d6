# Makes one program's manual page from its own --help and --version with help2man, compressed
# for share/man/man1; run by the build (packaging/CMakeLists.txt) as
#   cmake -DHELP2MAN=... -DGZIP=... -DPROGRAM=FILE -DNAME=NAME -DSUMMARY=TEXT
#         [-DINCLUDE=FILE.h2m] [-DCOMMANDS=a;b] -DOUTPUT=NAME.1.gz -P man_page.cmake
# INCLUDE adds sections that --help has no place for (files, environment, see also). COMMANDS
# names sub-commands whose own "NAME COMMAND --help" becomes a subsection of COMMANDS each, so
# the page holds every help text the program prints.
cmake_minimum_required(VERSION 3.25)

foreach(required HELP2MAN GZIP PROGRAM NAME SUMMARY OUTPUT)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "man_page.cmake needs -D${required}=...")
    endif()
endforeach()

# Runs help2man; its roff text goes into `result`.
function(run_help2man result)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${HELP2MAN} --no-info ${ARGN} ${PROGRAM}
        OUTPUT_VARIABLE page ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "help2man failed for ${NAME}: ${errors}")
    endif()
    set(${result} "${page}" PARENT_SCOPE)
endfunction()

# The text of section `name` of a page: from its .SH line to the next .SH or the end.
function(page_section page name result)
    string(FIND "${page}" ".SH ${name}\n" start)
    if(start EQUAL -1)
        set(${result} "" PARENT_SCOPE)
        return()
    endif()
    string(LENGTH ".SH ${name}\n" heading)
    math(EXPR start "${start} + ${heading}")
    string(SUBSTRING "${page}" ${start} -1 rest)
    string(FIND "${rest}" "\n.SH " end)
    if(NOT end EQUAL -1)
        math(EXPR end "${end} + 1")
        string(SUBSTRING "${rest}" 0 ${end} rest)
    endif()
    set(${result} "${rest}" PARENT_SCOPE)
endfunction()

set(work ${OUTPUT}.work)
set(include_text "")
if(DEFINED COMMANDS AND NOT COMMANDS STREQUAL "")
    string(APPEND include_text "[COMMANDS]\n")
    foreach(command ${COMMANDS})
        run_help2man(page --version-string=0 --name=${command} "--help-option=${command} --help")
        page_section("${page}" SYNOPSIS synopsis)
        page_section("${page}" DESCRIPTION description)
        string(APPEND include_text ".SS ${command}\n${synopsis}.PP\n${description}")
    endforeach()
endif()
if(DEFINED INCLUDE AND NOT INCLUDE STREQUAL "")
    file(READ ${INCLUDE} extra)
    string(APPEND include_text "${extra}")
endif()
file(WRITE ${work}.h2m "${include_text}")

run_help2man(page --name=${SUMMARY} --include=${work}.h2m)
file(WRITE ${work} "${page}")
# -n keeps the time and name out of the header, so the same page gives the same bytes.
execute_process(COMMAND ${GZIP} -9nc ${work} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed for ${NAME}")
endif()
file(REMOVE ${work} ${work}.h2m)
