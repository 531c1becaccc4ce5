# The WebAssembly build's tests (make web-test): the golden scripts, the kept
# scripts' check and the manual's examples run vorla.js under Node.js, with
# the same expected files as the native build.
# Included by tests/CMakeLists.txt when building with Emscripten, where
# Python3 has been found; sets VORLA_COMMAND.
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vorla-node
  CONTENT "#!/bin/sh\nexec '${CMAKE_CURRENT_LIST_DIR}/node.sh' '${VORLA_NODE}' '$<TARGET_FILE:vorla>' \"$@\"\n"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VORLA_COMMAND ${CMAKE_BINARY_DIR}/vorla-node)
