# Windows packages of the program directory: `cpack -G ZIP` and `cpack -G NSIS` from
# the build directory. The executables sit at the top with the Qt and MinGW runtime
# DLLs and plugins beside them, and MASTER holds the demo reference firmware.
#
# On Windows the real flashing tool is the one users put beside the program. The
# stand-in is an optional component, off by default: it is installed to "stand-in"
# and copied up only where no FlashWrite.exe is there yet, so a real tool is never
# replaced, and the uninstaller leaves FlashWrite.exe alone.
install(TARGETS ${TESSALY_PACKAGED_PROGRAMS} RUNTIME DESTINATION . COMPONENT program)
install(FILES ${TESSALY_QT_DLLS} ${TESSALY_MINGW_DLLS} DESTINATION . COMPONENT program)
foreach(plugin IN LISTS TESSALY_QT_PLUGINS)
  get_filename_component(folder ${plugin} DIRECTORY)
  install(FILES "${TESSALY_PROGRAM_DIR}/${plugin}" DESTINATION ${folder} COMPONENT program)
endforeach()
install(TARGETS flashwrite RUNTIME DESTINATION stand-in COMPONENT flashtool)
# The installed folder is every user's, so each gets a program directory of their own
# under %LOCALAPPDATA%; a ZIP unpacked to a folder (a USB stick) is used in place. The
# marker is left out of full installs, hence of the ZIP, and put in by the installer.
install(FILES shared-install.windows DESTINATION . RENAME shared-install COMPONENT marker EXCLUDE_FROM_ALL)

include(DemoFirmware.cmake)

set(CPACK_PACKAGE_NAME Tessaly)
set(CPACK_PACKAGE_VENDOR "Tessaly")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configurator for Tessaly Modbus TCP to Modbus RTU gateways")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "tessaly-${PROJECT_VERSION}-win64")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tessaly")
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL program flashtool marker)
set(CPACK_COMPONENT_PROGRAM_DISPLAY_NAME "Tessaly configurator")
set(CPACK_COMPONENT_PROGRAM_REQUIRED ON)
set(CPACK_COMPONENT_FLASHTOOL_DISPLAY_NAME "FlashWrite.exe stand-in")
set(CPACK_COMPONENT_FLASHTOOL_DESCRIPTION
  "A stand-in for the flashing tool, for trying the firmware update without the real one. Never replaces a FlashWrite.exe that is already there.")
set(CPACK_COMPONENT_FLASHTOOL_DISABLED ON)
set(CPACK_COMPONENT_MARKER_HIDDEN ON)
set(CPACK_COMPONENT_MARKER_REQUIRED ON)
# The ZIP is the whole program directory in one archive; the installer offers parts.
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
set(CPACK_NSIS_COMPONENT_INSTALL ON)

# The Start-menu entry with the program's icon, and the uninstaller's entry. The
# programs sit at the top of the install folder (NSIS's default for them is "bin").
set(CPACK_PACKAGE_EXECUTABLES "tessaly;Tessaly configurator")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY ".")
set(CPACK_NSIS_MUI_ICON "${PROJECT_SOURCE_DIR}/app/resources/tessaly.ico")
set(CPACK_NSIS_MUI_UNIICON "${PROJECT_SOURCE_DIR}/app/resources/tessaly.ico")
set(CPACK_NSIS_INSTALLED_ICON_NAME "tessaly.exe")
set(CPACK_NSIS_DISPLAY_NAME "Tessaly configurator")
set(CPACK_NSIS_PACKAGE_NAME "Tessaly configurator")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer for the 64-bit program: NSIS 3 builds one from its amd64 stubs
# when the script names that target, which CMake's own script template does not. The
# build's template is CMake's with the target added.
file(READ "${CMAKE_ROOT}/Modules/Internal/CPack/NSIS.template.in" _nsis_template)
string(REPLACE "RequestExecutionLevel admin" "RequestExecutionLevel admin\n  Target amd64-unicode"
  _nsis_template "${_nsis_template}")
if(NOT _nsis_template MATCHES "Target amd64-unicode")
  message(FATAL_ERROR "CMake's NSIS template has changed: the installer cannot be made 64-bit")
endif()
file(WRITE "${CMAKE_BINARY_DIR}/packaging/nsis/NSIS.template.in" "${_nsis_template}")
list(APPEND CPACK_MODULE_PATH "${CMAKE_BINARY_DIR}/packaging/nsis")
# (NSIS's single quotes: double quotes do not survive the way to the script.)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS [=[
  IfFileExists '$INSTDIR\stand-in\FlashWrite.exe' 0 tessaly_no_standin
  IfFileExists '$INSTDIR\FlashWrite.exe' tessaly_no_standin 0
  CopyFiles /SILENT '$INSTDIR\stand-in\FlashWrite.exe' '$INSTDIR\FlashWrite.exe'
  tessaly_no_standin:
]=])
# The per-user program directories under %LOCALAPPDATA% hold the users' projects:
# the uninstaller removes only what the installer put in place.
include(CPack)
