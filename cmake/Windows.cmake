# The Windows build: the build directory becomes a ready program directory (the
# executables with the Qt and MinGW runtime DLLs and plugins beside them), and every
# Windows program the build or the tests run goes through Wine.
if(NOT WIN32)
  return()
endif()

get_filename_component(TESSALY_QT_PREFIX "${Qt6_DIR}/../../.." ABSOLUTE)
# The toolchain file unpacked the archive; naming it here tells CMake it is used.
set(TESSALY_QT_ARCHIVE_USED "${TESSALY_QT_ARCHIVE}")

# The MinGW runtime DLLs of the compiler that built the executables.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE _libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
  OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
find_file(TESSALY_WINPTHREAD_DLL libwinpthread-1.dll
  PATHS /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(TESSALY_MINGW_DLLS ${_libstdcxx} ${_libgcc} ${TESSALY_WINPTHREAD_DLL})
foreach(dll IN LISTS TESSALY_MINGW_DLLS)
  if(NOT IS_ABSOLUTE "${dll}" OR NOT EXISTS "${dll}")
    message(FATAL_ERROR "MinGW runtime DLL not found: ${dll}")
  endif()
endforeach()

# Every Qt library of the archive; the program loads what it links.
file(GLOB TESSALY_QT_DLLS "${TESSALY_QT_PREFIX}/bin/Qt6*.dll")
list(FILTER TESSALY_QT_DLLS EXCLUDE REGEX "Qt6Test\\.dll$")
set(TESSALY_QT_PLUGINS
  platforms/qwindows.dll platforms/qoffscreen.dll platforms/qminimal.dll
  styles/qwindowsvistastyle.dll
  imageformats/qico.dll)

# Lay out the runtime once at configure time: the prebuilt DLLs come with their debug
# sections (libstdc++-6.dll 24 MB of which 2 MB code), so the program directory and
# the packages get stripped copies, made again only when the input is newer.
function(tessaly_lay_out_stripped source folder)
  get_filename_component(name "${source}" NAME)
  set(copy "${TESSALY_PROGRAM_DIR}/${folder}/${name}")
  if(NOT EXISTS "${copy}" OR "${source}" IS_NEWER_THAN "${copy}")
    file(MAKE_DIRECTORY "${TESSALY_PROGRAM_DIR}/${folder}")
    execute_process(COMMAND ${CMAKE_STRIP} --strip-all -o "${copy}.part" "${source}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "Cannot strip ${source}")
    endif()
    file(RENAME "${copy}.part" "${copy}")
  endif()
endfunction()
foreach(dll IN LISTS TESSALY_MINGW_DLLS TESSALY_QT_DLLS ITEMS "${TESSALY_QT_PREFIX}/bin/Qt6Test.dll")
  tessaly_lay_out_stripped("${dll}" .)
endforeach()
foreach(plugin IN LISTS TESSALY_QT_PLUGINS)
  get_filename_component(folder ${plugin} DIRECTORY)
  tessaly_lay_out_stripped("${TESSALY_QT_PREFIX}/plugins/${plugin}" ${folder})
endforeach()
# The packages take the stripped copies.
list(TRANSFORM TESSALY_MINGW_DLLS REPLACE "^.*/" "${TESSALY_PROGRAM_DIR}/")
list(TRANSFORM TESSALY_QT_DLLS REPLACE "^.*/" "${TESSALY_PROGRAM_DIR}/")

# Wine runs the programs in a prefix of this build's own, made on first use.
find_program(TESSALY_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(TESSALY_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TESSALY_WINE AND TESSALY_WINESERVER)
  set(TESSALY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
else()
  message(WARNING "No Wine found: the Windows programs are built but not run")
endif()
