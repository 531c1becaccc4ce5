# The Windows build's tests: the golden scripts and the manual's examples run
# vorla.exe under Wine (Debian: wine and wine64), with the same expected files
# as the native build, and test_console.py drives its console. Wine runs
# headless in a prefix of the build's own; the fixture `wine` starts its server
# before the tests and ends it after them (wine.sh says why).
# Included by tests/CMakeLists.txt when cross-compiling, where Python3 has been
# found; sets VORLA_COMMAND and VORLA_TEST_FIXTURE when Wine is there.
find_program(VORLA_WINE wine)
if(NOT VORLA_WINE)
  vorla_missing_tool(Wine "Wine (Debian: wine and wine64)")
  return()
endif()

set(wine_run ${CMAKE_CURRENT_LIST_DIR}/wine.sh)
set(wine_prefix ${CMAKE_BINARY_DIR}/wine)

add_executable(pipe_relay ${CMAKE_CURRENT_LIST_DIR}/pipe_relay.cpp)
target_link_options(pipe_relay PRIVATE -static)

# The programs the test scripts start: vorla.exe under Wine, and vorla.exe
# behind the relay, whose pipe is one Windows can look into.
set(mode FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vorla-wine
  CONTENT "#!/bin/sh\nexec '${wine_run}' '${wine_prefix}' '$<TARGET_FILE:vorla>' \"$@\"\n" ${mode})
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/vorla-wine-piped
  CONTENT "#!/bin/sh\nexec '${wine_run}' '${wine_prefix}' '$<TARGET_FILE:pipe_relay>' '$<TARGET_FILE:vorla>' \"$@\"\n"
  ${mode})
set(VORLA_COMMAND ${CMAKE_BINARY_DIR}/vorla-wine)
set(VORLA_TEST_FIXTURE wine)

add_test(NAME wine_start COMMAND sh ${wine_run} ${wine_prefix} --start)
add_test(NAME wine_stop COMMAND sh ${wine_run} ${wine_prefix} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 600)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

add_test(NAME windows_console
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/test_console.py
          ${CMAKE_BINARY_DIR}/vorla-wine ${CMAKE_BINARY_DIR}/vorla-wine-piped)
set_tests_properties(windows_console PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600)
