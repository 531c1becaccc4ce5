# The editor grammar knows every keyword and built-in name of the interpreter.
# Included by tests/CMakeLists.txt, where Python3 has been found.
add_test(NAME editor_grammar
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/test_grammar.py ${CMAKE_CURRENT_LIST_DIR}/..)

# The editor package's problem matcher takes every error and warning that
# vorla prints about a script, and nothing else.
add_test(NAME editor_problem_matcher
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/test_problem_matcher.py ${CMAKE_CURRENT_LIST_DIR}/..)
