# Fails the build when a translation source still has unfinished entries,
# naming each one by its context and source text.
#   cmake -DTS=<file.ts> -DSTAMP=<stamp file> -P check_ts.cmake
file(READ "${TS}" _ts)
# Keep the XML apart from CMake's list separator.
string(REPLACE ";" "&#59;" _ts "${_ts}")
string(REGEX MATCHALL "<context>.*</context>" _body "${_ts}")
string(REPLACE "</context>" "</context>;" _contexts "${_body}")
set(_bad "")
foreach(_ctx IN LISTS _contexts)
  if(NOT _ctx MATCHES "type=\"unfinished\"")
    continue()
  endif()
  string(REGEX MATCH "<name>([^<]*)</name>" _ignored "${_ctx}")
  set(_name "${CMAKE_MATCH_1}")
  string(REPLACE "</message>" "</message>;" _messages "${_ctx}")
  foreach(_msg IN LISTS _messages)
    if(_msg MATCHES "<translation type=\"unfinished\"")
      string(REGEX MATCH "<source>([^<]*)</source>" _ignored "${_msg}")
      string(APPEND _bad "  ${_name}: \"${CMAKE_MATCH_1}\"\n")
    endif()
  endforeach()
endforeach()
if(_bad)
  message(FATAL_ERROR "${TS} has unfinished translations:\n${_bad}"
          "Translate them (make lupdate refreshes the file) or mark them finished.")
endif()
file(WRITE "${STAMP}" "ok\n")
