# Every target of the project compiles with warnings as errors.
function(tessaly_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()

# A core library: QtCore/QtXml only, never a widget header.
function(tessaly_core_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Core ${ARG_LIBS})
  tessaly_warnings(${name})
endfunction()

# Widgets on top of the core libraries.
function(tessaly_gui_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Widgets ${ARG_LIBS})
  tessaly_warnings(${name})
endfunction()
