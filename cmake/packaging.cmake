# SPDX-License-Identifier: Apache-2.0
# What `scripts/package` builds through CPack: on Windows a portable zip of the
# program folder and an NSIS installer; on Linux a Debian package.
set(CPACK_PACKAGE_NAME meter-readout)
set(CPACK_PACKAGE_VENDOR "Meter readout developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reads a grain analyser over Bluetooth into a table, CSV and a printed report")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Moisture Meter BT readout")

if(WIN32 AND READOUT_BUILD_GUI)
  set(readout_windows_files ${PROJECT_SOURCE_DIR}/packaging/windows)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  # The program's licence, and the notice of what else the folder holds.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${readout_windows_files}/NOTICE DESTINATION .)
  # Qt's licence texts, kept in the Qt prefix by scripts/build-qt-windows.
  get_target_property(readout_qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
  get_filename_component(readout_qt_prefix "${readout_qt_core_dll}/../.." ABSOLUTE)
  if(EXISTS ${readout_qt_prefix}/licenses)
    install(DIRECTORY ${readout_qt_prefix}/licenses/ DESTINATION licenses/qt)
  endif()
  # OpenSSL's and libmosquitto's, kept in their prefix by scripts/build-mqtt-windows.
  install(DIRECTORY ${READOUT_MQTT_WINDOWS}/licenses/ DESTINATION licenses)
  # The C++ runtime's licences, as the compiler's Debian packages give them.
  install(FILES /usr/share/doc/gcc-mingw-w64-base/copyright DESTINATION licenses RENAME gcc-runtime.txt)
  install(FILES /usr/share/doc/mingw-w64-common/copyright DESTINATION licenses RENAME mingw-w64.txt)
  # Those files only refer to the GPL's text, which a Windows computer lacks.
  install(FILES /usr/share/common-licenses/GPL-3 DESTINATION licenses RENAME GPL-3.0.txt)
  # Every DLL that goes out is named in the notice with its licence: one added
  # to the program folder without a word there stops the packing.
  install(CODE "
    file(READ \"${readout_windows_files}/NOTICE\" notice)
    file(GLOB_RECURSE dlls RELATIVE \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\")
    foreach(dll IN LISTS dlls)
      get_filename_component(name \"\${dll}\" NAME)
      string(FIND \"\${notice}\" \"\${name}\" at)
      if(at EQUAL -1)
        message(FATAL_ERROR \"NOTICE does not name \${dll}, which the package carries\")
      endif()
    endforeach()
  ")

  set(CPACK_GENERATOR ZIP NSIS)
  # The zip unpacks into one folder named like the zip.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/package-names.cmake)
  # The installer's licence page: the program's own licence.
  set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
  # A 64-bit installer for the 64-bit program: it sees the 64-bit Program Files
  # and registry, and runs where only 64-bit programs run (Wine's wine64).
  set(CPACK_NSIS_DEFINES "Target amd64-unicode")
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
  set(CPACK_NSIS_DISPLAY_NAME "Moisture Meter BT readout")
  set(CPACK_NSIS_PACKAGE_NAME "Moisture Meter BT readout ${PROJECT_VERSION}")
  set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/meter-readout.ico)
  set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/meter-readout.ico)
  set(CPACK_NSIS_INSTALLED_ICON_NAME meter-readout.exe)
  set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
  set(CPACK_PACKAGE_EXECUTABLES meter-readout "Moisture Meter BT readout")
  set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
  set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND READOUT_BUILD_GUI)
  set(readout_doc share/doc/meter-readout)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${readout_doc})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright DESTINATION ${readout_doc})
  # Debian wants the changelog compressed the same way every time.
  set(readout_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
  add_custom_command(OUTPUT ${readout_changelog}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/debian/changelog > ${readout_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/debian/changelog VERBATIM)
  add_custom_target(debian_changelog ALL DEPENDS ${readout_changelog})
  install(FILES ${readout_changelog} DESTINATION ${readout_doc})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Meter readout developers <meter-readout@users.noreply.invalid>")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reads a grain analyser over Bluetooth into a table, CSV and a report
 Finds the hand-held grain analyser by its Bluetooth name, fetches one
 reading after another over an RFCOMM link and shows each as a timestamped
 row of a table. The table is saved as CSV and printed as an A4 report.
 A headless mode logs readings unattended, and a simulated meter lets the
 program be tried without one.")
  # The libraries the program links, as dpkg-shlibdeps finds them, and the
  # metric twin of Arial that the printed report is laid out in.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2")
endif()

include(CPack)
