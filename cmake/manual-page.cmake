# SPDX-License-Identifier: Apache-2.0
# The manual page meter-readout.1, made from the program's own --help and
# --version texts by help2man when the program is built, so they never
# disagree. Where help2man is missing (it is only needed for the Debian
# package), no page is made.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(manual_page ${CMAKE_CURRENT_BINARY_DIR}/meter-readout.1)
  add_custom_command(
    OUTPUT ${manual_page}.gz
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --no-discard-stderr --section=1
            --name "read a grain analyser over Bluetooth into a table, CSV and a report"
            --output=${manual_page} $<TARGET_FILE:meter-readout>
    # Debian wants manual pages compressed the same way every time.
    COMMAND gzip -9nf ${manual_page}
    DEPENDS meter-readout
    COMMENT "Manual page from --help"
    VERBATIM)
  add_custom_target(manual_page ALL DEPENDS ${manual_page}.gz)
  install(FILES ${manual_page}.gz DESTINATION share/man/man1)
endif()
