# Run by cpack: the package's version must be the one the changelog ends on.
set(_want "${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")
if(NOT CPACK_USB_CHANGELOG_VERSION MATCHES "^${CPACK_PACKAGE_VERSION}-[0-9A-Za-z.+~]+$")
  message(FATAL_ERROR "${CPACK_USB_CHANGELOG_FILE} ends on version "
          "${CPACK_USB_CHANGELOG_VERSION}, but the project is at ${CPACK_PACKAGE_VERSION}: "
          "add a changelog entry for ${CPACK_PACKAGE_VERSION}-1")
endif()
