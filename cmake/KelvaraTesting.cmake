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
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  # The suite draws nothing with OpenGL. A test on xcb leaves out the GL
  # integration, whose vendor libraries may leak and are unloaded before
  # LeakSanitizer reports, where no suppression can name them.
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_XCB_GL_INTEGRATION=none"
    LABELS ${folder}
    TIMEOUT ${T_TIMEOUT})
endfunction()
