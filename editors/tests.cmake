# The editor grammar knows every keyword and built-in name of the interpreter.
# Included by tests/CMakeLists.txt, where Python3 has been found.
add_test(NAME editor_grammar
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/test_grammar.py ${CMAKE_CURRENT_LIST_DIR}/..)
