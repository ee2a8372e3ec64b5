# The checks read every process of the machine: a test that runs a forbidden program would fail
# the checks of a client that another test starts at the same time.
foreach(test IN LISTS platform_tests_TESTS e2e_tests_TESTS)
  if(test MATCHES "^CheckLinuxProcesses\\.|^Road\\.AForbidden")
    set_tests_properties(${test} PROPERTIES RUN_SERIAL TRUE)
  endif()
endforeach()
