# SPDX-License-Identifier: Apache-2.0
# The Windows program folder: meter-readout.exe with the DLLs and Qt plugins it
# needs on a Windows that has no Qt and no MinGW, laid out as Qt looks for them
# (plugins in their folders beside the program). The folder is made next to the
# built program, so the build runs as it is installed, and installed as a whole
# into the package's root.

# The C++ runtime as DLLs, one copy for the program and Qt.
set(readout_runtime_dlls)
foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The MinGW-w64 runtime ${dll} was not found beside ${CMAKE_CXX_COMPILER}")
  endif()
  list(APPEND readout_runtime_dlls "${path}")
endforeach()

# Qt's DLLs, and the plugins: the Windows platform, its native style and the
# icon reader for the windows' icon (Qt 6 has the Windows printers in
# Qt6PrintSupport.dll itself).
set(readout_qt_dlls)
foreach(module IN ITEMS Core Gui Widgets PrintSupport)
  list(APPEND readout_qt_dlls $<TARGET_FILE:Qt6::${module}>)
endforeach()
set(readout_qt_plugins
  platforms=Qt6::QWindowsIntegrationPlugin
  styles=Qt6::QWindowsVistaStylePlugin
  imageformats=Qt6::QICOPlugin)

# OpenSSL and libmosquitto, as scripts/build-mqtt-windows built them, for
# publishing to the site's broker.
set(readout_mqtt_dlls)
foreach(dll IN ITEMS libcrypto-3-x64.dll libssl-3-x64.dll libmosquitto.dll)
  if(NOT EXISTS ${READOUT_MQTT_WINDOWS}/bin/${dll})
    message(FATAL_ERROR "${dll} is missing in ${READOUT_MQTT_WINDOWS}/bin: run scripts/build-mqtt-windows")
  endif()
  list(APPEND readout_mqtt_dlls ${READOUT_MQTT_WINDOWS}/bin/${dll})
endforeach()

set(deploy_dir $<TARGET_FILE_DIR:meter-readout>)
set(deploy_commands)
foreach(dll IN LISTS readout_runtime_dlls readout_qt_dlls readout_mqtt_dlls)
  list(APPEND deploy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll} ${deploy_dir})
endforeach()
foreach(entry IN LISTS readout_qt_plugins)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 folder)
  list(GET entry 1 plugin)
  list(APPEND deploy_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${deploy_dir}/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}> ${deploy_dir}/${folder})
endforeach()
add_custom_command(TARGET meter-readout POST_BUILD ${deploy_commands} VERBATIM)

install(TARGETS meter-readout meter-readout-console RUNTIME DESTINATION .)
foreach(dll IN LISTS readout_runtime_dlls readout_qt_dlls readout_mqtt_dlls)
  install(FILES ${dll} DESTINATION .)
endforeach()
foreach(entry IN LISTS readout_qt_plugins)
  string(REPLACE "=" ";" entry "${entry}")
  list(GET entry 0 folder)
  list(GET entry 1 plugin)
  install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
endforeach()
# The MinGW runtime comes with its debugging symbols (23 MB for libstdc++ alone):
# what is installed is stripped.
install(CODE "
  file(GLOB_RECURSE installed \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.dll\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/*.exe\")
  foreach(file IN LISTS installed)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${file}\" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"Could not strip \${file}\")
    endif()
  endforeach()
")
