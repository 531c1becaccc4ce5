# Configures, builds and installs the interpreter in WORK with the test suite
# off and GoogleTest and Python hidden, runs the installed command, and checks
# that a default configure (testing on) still succeeds without GoogleTest.
#
# usage: cmake -DSOURCE=DIR -DWORK=DIR [-DGENERATOR=NAME] -P build_without_tests.cmake
set(hidden -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_Python3=ON)
set(generator)
if(GENERATOR)
  set(generator -G ${GENERATOR})
endif()

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${status}):\n${out}")
  endif()
  set(step_output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
# A plain debug build: what is checked is that nothing but a compiler is
# needed, and it compiles faster than the optimised one.
step("configure with BUILD_TESTING=OFF"
  ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build ${generator} ${hidden}
  -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Debug)
step("build vorla" ${CMAKE_COMMAND} --build ${WORK}/build --target vorla --parallel 2)
step("install" ${CMAKE_COMMAND} --install ${WORK}/build --prefix ${WORK}/prefix)
foreach(file bin/vorla share/man/man1/vorla.1 share/doc/vorla/language.md
             share/doc/vorla/examples/hello.vl share/doc/vorla/examples/guess.vl)
  if(NOT EXISTS ${WORK}/prefix/${file})
    message(FATAL_ERROR "install left out ${file}")
  endif()
endforeach()
step("the installed vorla --version" ${WORK}/prefix/bin/vorla --version)
if(NOT step_output STREQUAL "vorla Ver0.01a 2016/01/31 by quillmar\n")
  message(FATAL_ERROR "the installed vorla --version printed:\n${step_output}")
endif()

step("configure with testing on and no GoogleTest"
  ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/default ${generator} -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
if(NOT step_output MATCHES "GoogleTest not found")
  message(FATAL_ERROR "configuring without GoogleTest did not say it is missing:\n${step_output}")
endif()
file(REMOVE_RECURSE ${WORK})
