# SPDX-License-Identifier: Apache-2.0
# Read by CPack for each generator: the zip is the portable program folder, the
# NSIS package the installer.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_PACKAGE_FILE_NAME "meter-readout-${CPACK_PACKAGE_VERSION}-win64")
elseif(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "meter-readout-${CPACK_PACKAGE_VERSION}-win64-setup")
endif()
