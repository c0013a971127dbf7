# Fails when `make lupdate` would mark an entry of the translation sources
# obsolete: a text the code still shows but lupdate cannot see (passed through
# a wrapper as a const char *, or kept in an unmarked array) would lose its
# translation on the next refresh. lupdate runs as the Makefile's target runs
# it, on copies, and every entry it drops is named.
#   cmake -DLUPDATE=<lupdate> -DSOURCE_DIR=<project> -DWORK_DIR=<scratch dir>
#         -P lupdate_keeps_all.cmake
file(STRINGS "${SOURCE_DIR}/Makefile" _rule REGEX "^\tlupdate ")
list(LENGTH _rule _rules)
if(NOT _rules EQUAL 1 OR NOT _rule MATCHES "^\tlupdate (.+) -ts (.+)$")
  message(FATAL_ERROR "No single 'lupdate ... -ts ...' line in ${SOURCE_DIR}/Makefile")
endif()
separate_arguments(_options UNIX_COMMAND "${CMAKE_MATCH_1}")
separate_arguments(_sources UNIX_COMMAND "${CMAKE_MATCH_2}")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
set(_copies "")
foreach(_ts IN LISTS _sources)
  get_filename_component(_name "${_ts}" NAME)
  file(COPY "${SOURCE_DIR}/${_ts}" DESTINATION "${WORK_DIR}")
  list(APPEND _copies "${WORK_DIR}/${_name}")
endforeach()

execute_process(COMMAND "${LUPDATE}" ${_options} -ts ${_copies}
                WORKING_DIRECTORY "${SOURCE_DIR}"
                RESULT_VARIABLE _rc OUTPUT_VARIABLE _out ERROR_VARIABLE _err)
if(NOT _rc EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${_rc}):\n${_out}${_err}")
endif()

set(_bad "")
foreach(_copy IN LISTS _copies)
  file(READ "${_copy}" _ts)
  # Keep the XML apart from CMake's list separator.
  string(REPLACE ";" "&#59;" _ts "${_ts}")
  string(REPLACE "</context>" "</context>;" _contexts "${_ts}")
  foreach(_ctx IN LISTS _contexts)
    if(NOT _ctx MATCHES "type=\"(obsolete|vanished)\"")
      continue()
    endif()
    string(REGEX MATCH "<name>([^<]*)</name>" _ignored "${_ctx}")
    set(_context "${CMAKE_MATCH_1}")
    string(REPLACE "</message>" "</message>;" _messages "${_ctx}")
    foreach(_msg IN LISTS _messages)
      if(_msg MATCHES "<translation type=\"(obsolete|vanished)\"")
        string(REGEX MATCH "<source>([^<]*)</source>" _ignored "${_msg}")
        get_filename_component(_name "${_copy}" NAME)
        string(APPEND _bad "  ${_name} ${_context}: \"${CMAKE_MATCH_1}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()
if(_bad)
  message(FATAL_ERROR "make lupdate would mark these entries obsolete:\n${_bad}"
          "Write each text the code shows as a literal lupdate finds "
          "(tr, QCoreApplication::translate or QT_TRANSLATE_NOOP with its context), "
          "or delete the entry if no code uses it.")
endif()
message(STATUS "lupdate keeps every entry of ${_sources}")
