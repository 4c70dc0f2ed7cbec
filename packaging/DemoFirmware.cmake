# A fresh demo firmware for the package, never the one in the build directory's MASTER,
# which may be a real reference firmware put there by the developer.
set(demo_firmware ${CMAKE_CURRENT_BINARY_DIR}/MASTER/sx48316.sx)
add_custom_command(
  OUTPUT ${demo_firmware}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${demo_firmware}
  COMMAND demofirmware ${demo_firmware}
  DEPENDS demofirmware
  COMMENT "Writing the demo reference firmware for installation"
  VERBATIM)
add_custom_target(install_demo_firmware ALL DEPENDS ${demo_firmware})
if(NOT DEFINED TESSALY_DEMO_FIRMWARE_DESTINATION)
  set(TESSALY_DEMO_FIRMWARE_DESTINATION MASTER)
endif()
install(FILES ${demo_firmware} DESTINATION ${TESSALY_DEMO_FIRMWARE_DESTINATION} COMPONENT program)
