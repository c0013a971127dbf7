# Run by cpack on the staged files: strips the programs the way Debian's
# dh_strip does, dropping the symbols and the sections nothing reads at run time.
file(GLOB _programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT _programs)
  message(FATAL_ERROR "no programs staged under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(p ${_programs})
  execute_process(COMMAND ${CPACK_USB_STRIP} --remove-section=.comment --remove-section=.note
                          --strip-unneeded ${p}
                  RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "cannot strip ${p}")
  endif()
endforeach()
