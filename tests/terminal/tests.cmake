# End-to-end console tests: the vorla binary on a pseudo-terminal, typed at
# as a person would (POSIX only).
if(UNIX AND NOT CMAKE_CROSSCOMPILING)
  vorla_script_test(terminal
    Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/terminal/test_terminal.py $<TARGET_FILE:vorla>)
  set_tests_properties(terminal terminal.read PROPERTIES TIMEOUT 600)
endif()
