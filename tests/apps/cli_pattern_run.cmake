# The runner with pattern files: a gun run for 100 generations and saved loads
# again with the same live cells; standard input works; a missing file, a
# pattern too big for the board and an unwritable save target exit with 1 and
# a message on standard error.
set(out "${WORK}/gun_after_100.lif")
file(REMOVE "${out}")

execute_process(COMMAND ${CLI} ${SAMPLES}/glider_gun.rle -g 100 --save ${out} --cells
                OUTPUT_VARIABLE run RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "run and save failed (${rc}): ${err}")
endif()
execute_process(COMMAND ${CLI} ${out} --cells OUTPUT_VARIABLE reload RESULT_VARIABLE rc
                ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "reloading the saved file failed (${rc}): ${err}")
endif()

# Cell values become 1 on reload: compare positions, and the live count.
string(REGEX REPLACE "([0-9]+ [0-9]+) [0-9]+\n" "\\1\n" run_cells "${run}")
string(REGEX REPLACE "([0-9]+ [0-9]+) [0-9]+\n" "\\1\n" reload_cells "${reload}")
string(REGEX REPLACE "G:[^\n]*\n$" "" run_cells "${run_cells}")
string(REGEX REPLACE "G:[^\n]*\n$" "" reload_cells "${reload_cells}")
if(run_cells STREQUAL "" OR NOT run_cells STREQUAL reload_cells)
  message(FATAL_ERROR "saved cells differ on reload:\n${run_cells}\nvs\n${reload_cells}")
endif()
string(REGEX MATCH "C:[0-9]+" run_count "${run}")
string(REGEX MATCH "C:[0-9]+" reload_count "${reload}")
if(NOT run_count STREQUAL reload_count OR NOT run_count MATCHES "^C:000[6-9][0-9]$")
  message(FATAL_ERROR "live counts: after the run ${run_count}, on reload ${reload_count}")
endif()
file(GLOB leftovers "${out}.tmp-*")
if(leftovers)
  message(FATAL_ERROR "temporary files left behind: ${leftovers}")
endif()

# Standard input.
execute_process(COMMAND ${CLI} - INPUT_FILE ${SAMPLES}/glider_gun.rle
                OUTPUT_VARIABLE piped RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT piped STREQUAL "G:00000 C:00036 B:00000 D:00000 Z:x1\n")
  message(FATAL_ERROR "reading standard input: ${rc} '${piped}'")
endif()

# A missing file.
execute_process(COMMAND ${CLI} ${WORK}/no_such_pattern.lif OUTPUT_VARIABLE o
                ERROR_VARIABLE err RESULT_VARIABLE rc)
if(NOT rc EQUAL 1 OR NOT err MATCHES "no_such_pattern.lif was not found."
   OR NOT o STREQUAL "")
  message(FATAL_ERROR "missing file: ${rc} '${err}' '${o}'")
endif()

# Too big for the board: the reader's own message with the board's size and
# the pattern's.
execute_process(COMMAND ${CLI} --size 150x200 ${DATA}/life106_off_board.lif
                ERROR_VARIABLE err RESULT_VARIABLE rc OUTPUT_VARIABLE o)
set(expected "That pattern is too big for this board.  The maximum size is 150x200. You can change the board size on the Tools menu at the file selection screen to choose a bigger board size. (The pattern is 1x1001 cells; the board has room for 148x198 inside its border.)\n")
if(NOT rc EQUAL 1 OR NOT err STREQUAL expected OR NOT o STREQUAL "")
  message(FATAL_ERROR "too big: ${rc} '${err}'")
endif()

# A save into a folder that does not exist fails and leaves nothing behind.
execute_process(COMMAND ${CLI} ${SAMPLES}/acorn.lif --save ${WORK}/no_such_folder/x.lif
                ERROR_VARIABLE err RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 1 OR NOT err MATCHES "x.lif contains an invalid path.")
  message(FATAL_ERROR "save into a missing folder: ${rc} '${err}'")
endif()
