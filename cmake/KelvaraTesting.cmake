# kelvara_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <s>])
# One QtTest program per class or feature, run by CTest without a display and
# labelled with its folder (ctest -L link).
function(kelvara_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt5::Test kelvara_resources ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  kelvara_set_test_properties(${name} ${T_TIMEOUT} "")
endfunction()

# kelvara_add_test_run(<name> <program> [ARGS <args...>] [ENVIRONMENT <VAR=value...>])
# Another run of a test program, with other arguments or environment.
function(kelvara_add_test_run name program)
  cmake_parse_arguments(R "" "" "ARGS;ENVIRONMENT" ${ARGN})
  add_test(NAME ${name} COMMAND ${program} ${R_ARGS})
  kelvara_set_test_properties(${name} 300 "${R_ENVIRONMENT}")
endfunction()

function(kelvara_set_test_properties name timeout environment)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  # The suite draws nothing with OpenGL. A test on xcb leaves out the GL
  # integration, whose vendor libraries may leak and are unloaded before
  # LeakSanitizer reports, where no suppression can name them.
  set(variables QT_QPA_PLATFORM=offscreen QT_XCB_GL_INTEGRATION=none ${environment})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "${variables}"
    LABELS ${folder}
    TIMEOUT ${timeout})
endfunction()
