# The runner on a seeded soup prints one status line and exits 0, and the same
# seed gives the same line twice.
execute_process(COMMAND ${CLI} --size 200x150 --soup 0.5:7 -g 50
                OUTPUT_VARIABLE out1 RESULT_VARIABLE rc1)
execute_process(COMMAND ${CLI} --size 200x150 --soup 0.5:7 -g 50
                OUTPUT_VARIABLE out2 RESULT_VARIABLE rc2)
if(NOT rc1 EQUAL 0 OR NOT rc2 EQUAL 0)
  message(FATAL_ERROR "runner failed: ${rc1} ${rc2}")
endif()
if(NOT out1 MATCHES "^G:00050 C:[0-9][0-9][0-9][0-9][0-9] B:[0-9]+ D:[0-9]+ Z:x1\n$")
  message(FATAL_ERROR "unexpected status line: '${out1}'")
endif()
if(NOT out1 STREQUAL out2)
  message(FATAL_ERROR "same seed, different runs: '${out1}' vs '${out2}'")
endif()
execute_process(COMMAND ${CLI} --size 20x20 RESULT_VARIABLE rc3 OUTPUT_QUIET ERROR_QUIET)
if(NOT rc3 EQUAL 2)
  message(FATAL_ERROR "a bad size should be a usage error (2), got ${rc3}")
endif()
