# The program generator of fuzz_programs (fuzz/generate.h), shared by the
# fuzz build and the unit tests; included from both, defined once.
if(NOT TARGET vorla_program_generator)
  add_library(vorla_program_generator STATIC
    ${CMAKE_CURRENT_LIST_DIR}/generate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/program_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ordinary_code.cpp
    ${CMAKE_CURRENT_LIST_DIR}/self_modifying.cpp
    ${CMAKE_CURRENT_LIST_DIR}/limit_programs.cpp
  )
  target_link_libraries(vorla_program_generator PUBLIC vorla_core)
endif()
