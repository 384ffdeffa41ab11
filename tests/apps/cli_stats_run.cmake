# The statistics file: header, one CR LF line per generation counted from 1,
# columns in their fixed order whatever order they are listed in, the last
# line agreeing with the status line; a file that cannot be created is an
# error with a message, not a silent success.
set(out "${WORK}/cli_stats.csv")

# Reads a file with each CR shown as "<CR>" (file(READ) would drop them).
function(read_marking_cr path var)
  file(READ "${path}" hex HEX)
  string(REGEX MATCHALL ".." bytes "${hex}")
  set(text "")
  foreach(b IN LISTS bytes)
    if(b STREQUAL "0d")
      string(APPEND text "<CR>")
    else()
      math(EXPR code "0x${b}")
      string(ASCII ${code} c)
      string(APPEND text "${c}")
    endif()
  endforeach()
  set(${var} "${text}" PARENT_SCOPE)
endfunction()
file(REMOVE "${out}")
execute_process(COMMAND ${CLI} --size 200x150 --soup 0.5:7 -g 5 --stats "${out}"
                OUTPUT_VARIABLE status RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "runner failed: ${rc}")
endif()
read_marking_cr("${out}" text)
string(REGEX MATCH "C:0*([0-9]+)" _ "${status}")
set(total "${CMAKE_MATCH_1}")
if(NOT text MATCHES "^Generation,Total Cells<CR>\n1,[0-9]+<CR>\n2,[0-9]+<CR>\n3,[0-9]+<CR>\n4,[0-9]+<CR>\n5,${total}<CR>\n$")
  message(FATAL_ERROR "unexpected statistics file for status '${status}':\n${text}")
endif()

string(REGEX MATCH "B:0*([0-9]+) D:0*([0-9]+)" _ "${status}")
set(births "${CMAKE_MATCH_1}")
set(deaths "${CMAKE_MATCH_2}")
execute_process(COMMAND ${CLI} --size 200x150 --soup 0.5:7 -g 5 --stats "${out}"
                        --columns deaths,births,generation
                RESULT_VARIABLE rc OUTPUT_QUIET)
read_marking_cr("${out}" text)
if(NOT rc EQUAL 0 OR NOT text MATCHES "^Generation,Births,Deaths<CR>\n1,[0-9]+,[0-9]+<CR>\n(.*<CR>\n)?5,${births},${deaths}<CR>\n$")
  message(FATAL_ERROR "unexpected statistics file with chosen columns:\n${text}")
endif()

execute_process(COMMAND ${CLI} --size 200x150 --soup 0.5:7 -g 5
                        --stats "${WORK}/no-such-folder/stats.csv"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err MATCHES "Unable to open file for writing")
  message(FATAL_ERROR "an unwritable statistics file should fail with a message: ${rc} '${err}'")
endif()
