# The runner on a seeded soup prints one status line and exits 0, and the same
# seed gives the same line twice, whichever step kernel makes it; a kernel
# asked for that this CPU does not have is said so on stderr.
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
foreach(kernel reference bytes_portable no_such_kernel)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env CELLARIUM_STEP_KERNEL=${kernel}
                          ${CLI} --size 200x150 --soup 0.5:7 -g 50
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR NOT out STREQUAL out1)
    message(FATAL_ERROR "kernel ${kernel}: ${rc} '${out}' against '${out1}'")
  endif()
  if(kernel STREQUAL "no_such_kernel")
    if(NOT err MATCHES "CELLARIUM_STEP_KERNEL=no_such_kernel: this CPU has no step kernel")
      message(FATAL_ERROR "an unknown kernel name was taken silently: '${err}'")
    endif()
  elseif(NOT err STREQUAL "")
    message(FATAL_ERROR "kernel ${kernel}: unexpected stderr '${err}'")
  endif()
endforeach()
