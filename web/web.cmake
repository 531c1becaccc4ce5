# The WebAssembly build (Emscripten; make web): vorla.js for Node.js, which
# the test suite runs as it runs the native program, and the page, a static
# site in page/ whose vorla.js runs scripts in the browser.
#
# Both are optimised whole (-O3 with link-time optimisation) and built with
# Asyncify, which lets the page's console pause a run and give the browser its
# event loop back; the Node.js program runs the same instrumented interpreter,
# though it never pauses, so that the suite tests what the page runs.
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

# The page's interpreter: an ES module whose factory createVorla the page
# calls with its side of the console (web/run.js). Under the page's depth
# limits (platform/web_host.cpp) the deepest shapes take some 60 KB of the
# stack in memory, and a pause at the deepest nesting keeps the interpreter's
# frames in less than 128 KB: both rooms hold eight times that and more.
set(page ${CMAKE_BINARY_DIR}/page)
add_executable(vorla_page shell/main.cpp shell/command_line.cpp platform/web_console.cpp platform/web_host.cpp)
target_link_libraries(vorla_page PRIVATE vorla_core)
set_target_properties(vorla_page PROPERTIES OUTPUT_NAME vorla RUNTIME_OUTPUT_DIRECTORY ${page})
target_link_options(vorla_page PRIVATE ${vorla_wasm_link}
  -sENVIRONMENT=web -sMODULARIZE=1 -sEXPORT_ES6=1 -sEXPORT_NAME=createVorla -sINVOKE_RUN=0
  -sEXPORTED_FUNCTIONS=_main,_malloc,_free -sEXPORTED_RUNTIME_METHODS=ccall,FS
  -sTOTAL_STACK=1MB -sASYNCIFY_STACK_SIZE=1048576 -sINITIAL_MEMORY=16MB)

# The npm packages the page and its tools use (web/package.json), installed
# in the build, never kept with the sources.
find_program(VORLA_NPM npm)
find_program(VORLA_NODE node)
if(NOT VORLA_NPM OR NOT VORLA_NODE)
  message(FATAL_ERROR "the page needs Node.js and npm (Debian: nodejs and npm)")
endif()
set(npm ${CMAKE_BINARY_DIR}/npm)
file(MAKE_DIRECTORY ${npm} ${page}/examples)
add_custom_command(OUTPUT ${npm}/node_modules/.package-lock.json
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/web/package.json ${PROJECT_SOURCE_DIR}/web/package-lock.json
          ${npm}
  COMMAND ${VORLA_NPM} ci --no-audit --no-fund --loglevel=error
  WORKING_DIRECTORY ${npm}
  DEPENDS web/package.json web/package-lock.json
  COMMENT "Installing the page's npm packages")

# The examples to pick from: each with the words after the name in its first line.
file(GLOB vorla_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.vl)
set(index "")
foreach(example IN LISTS vorla_examples)
  get_filename_component(name ${example} NAME)
  file(STRINGS ${example} first LIMIT_COUNT 1)
  string(REGEX REPLACE "^# *[^:]*: *(.*[^.])\\.?$" "\\1" title "${first}")
  string(REPLACE "\"" "\\\"" title "${title}")
  list(APPEND index "{\"file\": \"${name}\", \"title\": \"${title}\"}")
endforeach()
list(JOIN index ",\n  " index)
file(GENERATE OUTPUT ${page}/examples/index.json CONTENT "[\n  ${index}\n]\n")

set(page_sources index.html page.js run.js keys.js style.css)
list(TRANSFORM page_sources PREPEND ${PROJECT_SOURCE_DIR}/web/ OUTPUT_VARIABLE page_files)
set(xterm ${npm}/node_modules/@xterm/xterm)
add_custom_command(OUTPUT ${page}/manual.html ${page}/xterm.js
  COMMAND ${CMAKE_COMMAND} -E copy ${page_files} ${page}
  COMMAND ${CMAKE_COMMAND} -E copy ${vorla_examples} ${page}/examples
  COMMAND ${CMAKE_COMMAND} -E copy ${xterm}/lib/xterm.js ${xterm}/css/xterm.css ${page}
  COMMAND ${VORLA_NODE} ${PROJECT_SOURCE_DIR}/web/manual.mjs ${npm} ${PROJECT_SOURCE_DIR}/docs/language.md
          ${page}/manual.html
  DEPENDS ${page_files} ${vorla_examples} ${PROJECT_SOURCE_DIR}/web/manual.mjs ${PROJECT_SOURCE_DIR}/docs/language.md
          ${npm}/node_modules/.package-lock.json
  COMMENT "Laying out the page in ${page}")
add_custom_target(page ALL DEPENDS vorla_page ${page}/manual.html ${page}/xterm.js)
