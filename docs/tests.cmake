# Every example of the language manual prints what the manual says it prints.
# Included by tests/CMakeLists.txt, where Python3 has been found.
vorla_script_test(manual_examples
  Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/check_manual.py
  ${VORLA_COMMAND} ${CMAKE_CURRENT_LIST_DIR}/language.md)
