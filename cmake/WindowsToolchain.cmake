# Cross-compiles for 64-bit Windows with MinGW-w64 and the prebuilt Qt in
# TESSALY_QT_ARCHIVE, unpacked once into TESSALY_QT_DIR (inside the build tree).
# Debian's own Qt host tools (moc, rcc, uic) serve the cross build.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TESSALY_QT_ARCHIVE TESSALY_QT_DIR)
if(NOT TESSALY_QT_DIR)
  message(FATAL_ERROR "TESSALY_QT_DIR names the folder to unpack the Windows Qt into")
endif()
set(_tessaly_qt_toolchain "${TESSALY_QT_DIR}/qt6-mingw-w64/lib/cmake/Qt6/qt.toolchain.cmake")
if(NOT EXISTS "${_tessaly_qt_toolchain}")
  if(NOT EXISTS "${TESSALY_QT_ARCHIVE}")
    message(FATAL_ERROR "The Windows Qt archive is missing: ${TESSALY_QT_ARCHIVE}")
  endif()
  message(STATUS "Unpacking ${TESSALY_QT_ARCHIVE}")
  file(MAKE_DIRECTORY "${TESSALY_QT_DIR}")
  file(ARCHIVE_EXTRACT INPUT "${TESSALY_QT_ARCHIVE}" DESTINATION "${TESSALY_QT_DIR}")
endif()
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
include("${_tessaly_qt_toolchain}")
