# The Debian package, built by CPack (`make package` at the top): the version
# comes from project(), the Debian revision and the release date from the
# latest entry of packaging/debian/changelog.
set(USB_PACKAGE_NAME usb-tester)
set(USB_APPSTREAM_ID com.orvane.usbtester)
set(USB_PACKAGE_MAINTAINER
    "USB Tester maintainers <maintainers@users.noreply.c-seed-0f0643a7.example>")

set(_changelog ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_changelog})
file(STRINGS ${_changelog} _head LIMIT_COUNT 1)
file(STRINGS ${_changelog} _trailers REGEX "^ -- ")
list(GET _trailers 0 _trailer)
if(NOT _head MATCHES "^${USB_PACKAGE_NAME} \\(([^)]+)\\) "
   OR NOT _trailer MATCHES ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
  message(FATAL_ERROR "${_changelog}: cannot read the latest entry's version and date")
endif()
string(REGEX MATCH "^${USB_PACKAGE_NAME} \\(([^)]+)\\)" _ "${_head}")
set(USB_CHANGELOG_VERSION ${CMAKE_MATCH_1})
string(REGEX MATCH ">  [A-Z][a-z][a-z], ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) " _ "${_trailer}")
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(FIND _months ${CMAKE_MATCH_2} _month)
math(EXPR _month "${_month} + 1")
if(_month LESS 10)
  set(_month 0${_month})
endif()
# Shown in the manual pages and the AppStream release.
set(USB_RELEASE_DATE "${CMAKE_MATCH_3}-${_month}-${CMAKE_MATCH_1}")
string(REGEX REPLACE "^.*-" "" USB_DEBIAN_REVISION "${USB_CHANGELOG_VERSION}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${USB_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${USB_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "window and tools for electronic loads and USB power testers")
set(CPACK_PACKAGE_DESCRIPTION [[
The PC program for a family of USB-HID measuring instruments: electronic
loads (battery and power-supply discharge testers) and USB power testers.
It finds the instrument, shows its readings large, controls the load, draws
real-time curves, records once a second and exports CSV, saves the chart as
PNG, writes new firmware and lists several instruments on one bus, in
Chinese or English.

usb-tester-cli drives the instruments from scripts and logs long tests on
machines without a display; usb-tester-sim serves a simulated instrument
to learn the program on. A udev rule gives the user at the seat access to
the instrument.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Stripped as dh_strip does it (packaging/cpack-strip.cmake), not by CPack's
# own strip, which leaves the .comment and .note sections in.
set(CPACK_USB_STRIP ${CMAKE_STRIP})
if(CMAKE_VERSION VERSION_LESS 3.19)
  set(CPACK_STRIP_FILES ON) # no pre-build scripts before 3.19
else()
  set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/cpack-strip.cmake)
endif()
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${USB_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${USB_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# Libraries through dpkg-shlibdeps; the Chinese interface needs one of the CJK
# fonts the program substitutes for the family it asks for (app/startup.cpp).
# The icon font is compiled in, so it needs no package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The CJK font the window substitutes, and the icon font (also compiled in,
# so the packaged system copy is the one users and the copyright file see).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, fonts-font-awesome")
# Qt's own Chinese for its file, colour and message dialogs; without it they
# stay in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qttranslations5-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Checked when the package is made rather than at every configure, so that a
# version bump does not stop the tests before its changelog entry is written.
set(CPACK_USB_CHANGELOG_FILE ${_changelog})
set(CPACK_USB_CHANGELOG_VERSION ${USB_CHANGELOG_VERSION})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-check.cmake)
include(CPack)
