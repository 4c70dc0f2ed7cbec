# cmake -DHELP2MAN=... -DPROGRAM=... -DSUMMARY=... -DSEE_ALSO=a,b -DSOURCE=... -DOUTPUT=...
#       -P ManualPage.cmake
#
# Writes the manual page OUTPUT of PROGRAM with help2man from the program's --help and
# --version: SUMMARY is its NAME line, SEE_ALSO the other programs whose pages it
# names, SOURCE its footer. Then two lists of --help take the form manual pages give
# them: "Commands:", each a line "  command usage" with its summary indented below,
# becomes the section COMMANDS with one tagged entry per command, as help2man makes
# of options; "Exit status:" becomes the section EXIT STATUS.
get_filename_component(name ${PROGRAM} NAME)
set(include ${OUTPUT}.h2m)
string(REPLACE "," ";" see_also "${SEE_ALSO}")
list(TRANSFORM see_also APPEND " (1)")
list(TRANSFORM see_also PREPEND ".BR ")
list(JOIN see_also ",\n" see_also)
if(see_also)
  file(WRITE ${include} "[SEE ALSO]\n${see_also}\n")
else()
  file(WRITE ${include} "")
endif()

execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 --source=${SOURCE} --name=${SUMMARY} --include=${include}
    --output=${OUTPUT}.help2man ${PROGRAM}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man could not make the manual page of ${name}")
endif()
file(READ ${OUTPUT}.help2man page)

set(commands_heading ".SS \"Commands:\"\n")
string(FIND "${page}" "${commands_heading}" start)
if(start GREATER -1)
  string(SUBSTRING "${page}" 0 ${start} before)
  string(SUBSTRING "${page}" ${start} -1 commands)
  string(FIND "${commands}" "\n.SH " end)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${commands}" ${end} -1 after)
  string(SUBSTRING "${commands}" 0 ${end} commands)
  string(REPLACE "${commands_heading}" ".SH COMMANDS\n" commands "${commands}")
  # help2man's two paragraphs, the usage line and the summary, as one entry.
  string(REGEX REPLACE "\\.IP\n([a-z][a-z-]*)([^\n]*)\n\\.IP\n" ".TP\n\\\\fB\\1\\\\fR\\2\n" commands "${commands}")
  set(page "${before}${commands}${after}")
endif()
string(REPLACE ".SS \"Exit status:\"\n" ".SH \"EXIT STATUS\"\n" page "${page}")

file(WRITE ${OUTPUT} "${page}")
file(REMOVE ${OUTPUT}.help2man ${include})
