# One static library per layer folder. Sources are picked up from the folder
# (and its subfolders), so a new file needs no edit here. A layer sees only the
# headers of what it links, which keeps the layering honest: PUBLIC for what
# its own headers include (its users need those headers too), PRIVATE for what
# only its sources include.
#   usb_add_layer(name PUBLIC Qt5::Core protocol PRIVATE transport)
function(usb_add_layer name)
  cmake_parse_arguments(L "" "" "PUBLIC;PRIVATE" ${ARGN})
  file(GLOB_RECURSE _src CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h
       ${CMAKE_CURRENT_SOURCE_DIR}/*.ui)
  # Executables' entry points live beside their layer but are not part of it.
  list(FILTER _src EXCLUDE REGEX "/main(_[a-z]+)?\\.cpp$")
  add_library(${name} STATIC ${_src})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
  set_target_properties(${name} PROPERTIES AUTOUIC_SEARCH_PATHS ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

# A QtTest executable run by CTest without a display. Each test keeps the
# data a program keeps for its user (the run history) in a folder of its own
# in the build tree, never in the developer's.
function(usb_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=*.debug=false;XDG_DATA_HOME=${CMAKE_BINARY_DIR}/test-data/${name}")
endfunction()
