# Writes a manual page (gzipped) from a program's own --help text, or from a text file in
# the same shape for a program without one, so the page cannot say other than the program:
#   cmake -DNAME=kaprin-cli -DSUMMARY=... -DVERSION=1.15 -DOUT=kaprin-cli.1.gz
#         (-DPROGRAM=path | -DTEXT=file) [-DSEE_ALSO="a (1), b (1)"] -P man_page.cmake
# The text's first line is "Usage: NAME ARGS"; the rest is kept as laid out.
if(PROGRAM)
    execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR help STREQUAL "")
        message(FATAL_ERROR "${PROGRAM} --help failed (${rc})")
    endif()
else()
    file(READ ${TEXT} help)
endif()
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "\n+$" "" help "${help}")
string(REGEX MATCH "^Usage: [^\n]*" usage "${help}")
if(usage STREQUAL "")
    message(FATAL_ERROR "${NAME}: the help text does not start with a Usage: line")
endif()
string(LENGTH "${usage}" skip)
string(SUBSTRING "${help}" ${skip} -1 body)
string(REGEX REPLACE "^Usage: " "" usage "${usage}")
string(REGEX REPLACE "^\n+" "" body "${body}")
# A line starting with a dot or a quote would be read as a request.
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" body "${body}")
string(TOUPPER "${NAME}" title)
string(REPLACE "-" "\\-" name "${NAME}")
set(page ".TH ${title} 1 \"\" \"Kaprin ${VERSION}\" \"User Commands\"
.SH NAME
${name} \\- ${SUMMARY}
.SH SYNOPSIS
.nf
${usage}
.fi
.SH DESCRIPTION
.nf
${body}
.fi
")
if(SEE_ALSO)
    string(REPLACE "-" "\\-" SEE_ALSO "${SEE_ALSO}")
    string(APPEND page ".SH SEE ALSO\n${SEE_ALSO}\n")
endif()
string(REGEX REPLACE "\\.gz$" "" plain "${OUT}")
file(WRITE ${plain} "${page}")
execute_process(COMMAND gzip -9nf ${plain} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${plain} failed")
endif()
