# Writes imagedb's manual page from the tool's own --help and --version, with
# a section per command from "imagedb help COMMAND" and the hand-written
# sections of packaging/imagedb.h2m. Run as a script:
#
#   cmake -DIMAGEDB=... -DHELP2MAN=... -DSOURCE_DIR=... -DOUTPUT=... -P ManPage.cmake
cmake_minimum_required(VERSION 3.25)

execute_process(COMMAND ${IMAGEDB} --help OUTPUT_VARIABLE help COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "\nCommands:\n([^\n]+\n)+" commands_block "${help}")
string(REGEX MATCHALL "\n  [a-z]+ " command_lines "${commands_block}")
# A command without notes of its own repeats the tool's; the page has them once.
string(FIND "${help}" "\nRun 'imagedb help" footer_start)
string(SUBSTRING "${help}" ${footer_start} -1 footer)

set(sections "[COMMANDS]\n")
foreach(line ${command_lines})
  string(STRIP "${line}" command)
  if(command STREQUAL "help")
    continue()
  endif()
  execute_process(COMMAND ${IMAGEDB} help ${command} OUTPUT_VARIABLE text
    COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "${footer}" "\n" text "${text}")
  # Shown as the tool prints it; the characters roff and help2man read escaped.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'[])" "\\1\\\\&\\2" text "${text}")
  string(APPEND sections ".SS ${command}\n.nf\n${text}.fi\n")
endforeach()

get_filename_component(work ${OUTPUT} DIRECTORY)
file(WRITE ${work}/imagedb-commands.h2m "${sections}")
execute_process(COMMAND ${HELP2MAN} --no-info --section=1
    "--name=the image databases of a handheld painting program, in batch"
    --include=${work}/imagedb-commands.h2m --include=${SOURCE_DIR}/packaging/imagedb.h2m
    --output=${OUTPUT} ${IMAGEDB}
  COMMAND_ERROR_IS_FATAL ANY)
