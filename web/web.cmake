# The WebAssembly build (Emscripten): vorla.js for Node.js, which the test
# suite runs as it runs the native program. Optimised whole (-O3 with
# link-time optimisation) and built with Asyncify, which lets a console pause
# a run and give a JavaScript host its event loop back.
target_compile_options(vorla_core PUBLIC -flto)
# The tests start their programs themselves (tests/web), not under the
# emulator that emcmake names for the programs CMake builds.
set(CMAKE_CROSSCOMPILING_EMULATOR "")
set(vorla_wasm_link -flto -sASYNCIFY --pre-js ${PROJECT_SOURCE_DIR}/platform/environment.js)

# Node.js: the native depth limits, on the stack that tests/web/node.sh gives
# Node (the deepest shapes take up to 11.5 MB of it). The stack in memory,
# where locals whose address is taken live, holds five times what they take
# there (1.5 MB measured).
target_sources(vorla PRIVATE platform/node_console.cpp platform/node_host.cpp)
target_link_options(vorla PRIVATE ${vorla_wasm_link}
  -sENVIRONMENT=node -sNODERAWFS=1 -sWASM_ASYNC_COMPILATION=0 -sTOTAL_STACK=8MB -sINITIAL_MEMORY=32MB)

find_program(VORLA_NODE node)
if(NOT VORLA_NODE)
  message(FATAL_ERROR "the WebAssembly build needs Node.js (Debian: nodejs)")
endif()
