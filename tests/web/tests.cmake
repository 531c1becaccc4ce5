# The WebAssembly build's tests (make web-test): the golden scripts, the kept
# scripts' check and the manual's examples run vorla.js under Node.js, with
# the same expected files as the native build; the page's keys under Node's
# test runner; and the page itself in Chromium (test_page.mjs).
# Included by tests/CMakeLists.txt when building with Emscripten, where
# Python3 has been found; sets VORLA_COMMAND.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vorla-node
  CONTENT "#!/bin/sh\nexec '${CMAKE_CURRENT_LIST_DIR}/node.sh' '${VORLA_NODE}' '$<TARGET_FILE:vorla>' \"$@\"\n"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VORLA_COMMAND ${CMAKE_BINARY_DIR}/vorla-node)

add_test(NAME web_keys COMMAND ${VORLA_NODE} --test ${CMAKE_CURRENT_LIST_DIR}/keys_test.mjs)

find_program(VORLA_CHROMIUM NAMES chromium chromium-browser)
if(NOT VORLA_CHROMIUM)
  vorla_missing_tool(Chromium "Chromium (Debian: chromium)")
  return()
endif()
add_test(NAME web_page
  COMMAND ${VORLA_NODE} --test-reporter=tap ${CMAKE_CURRENT_LIST_DIR}/test_page.mjs
          ${CMAKE_BINARY_DIR}/npm ${CMAKE_BINARY_DIR}/page ${VORLA_CHROMIUM} ${CMAKE_BINARY_DIR})
set_tests_properties(web_page PROPERTIES TIMEOUT 600)
