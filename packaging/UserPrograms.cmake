# The programs users start. tessaly_user_program() names one; after the last,
# tessaly_install_user_programs() installs each in the program directory, links it
# from bin/ and, where help2man is there, gives it a manual page made from its
# --help and --version, so that the page cannot say other than the program.

function(tessaly_user_program target summary)
  set_property(GLOBAL APPEND PROPERTY TESSALY_USER_PROGRAMS ${target})
  set_property(GLOBAL PROPERTY TESSALY_USER_PROGRAM_SUMMARY_${target} "${summary}")
endfunction()

find_program(TESSALY_HELP2MAN help2man)
if(NOT TESSALY_HELP2MAN)
  message(STATUS "help2man not found: no manual pages (scripts/setup installs it)")
endif()

function(tessaly_install_user_programs)
  get_property(programs GLOBAL PROPERTY TESSALY_USER_PROGRAMS)
  # The same relative link for every prefix: bin/ and the program directory share it.
  file(RELATIVE_PATH bin_to_programs /prefix/bin /prefix/${TESSALY_PROGRAM_INSTALL_DIR})
  set(pages)
  foreach(target IN LISTS programs)
    install(TARGETS ${target} RUNTIME DESTINATION ${TESSALY_PROGRAM_INSTALL_DIR})
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${target}\")
      message(STATUS \"Installing: \${link} -> ${bin_to_programs}/${target}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
      file(CREATE_LINK \"${bin_to_programs}/${target}\" \"\${link}\" SYMBOLIC)")

    # The pages come from running the program: not from a cross build, nor from a
    # sanitizer build, which no one installs.
    if(NOT TESSALY_HELP2MAN OR CMAKE_CROSSCOMPILING OR TESSALY_SANITIZE)
      continue()
    endif()
    get_property(summary GLOBAL PROPERTY TESSALY_USER_PROGRAM_SUMMARY_${target})
    set(others ${programs})
    list(REMOVE_ITEM others ${target})
    list(JOIN others "," others)
    set(page ${CMAKE_CURRENT_BINARY_DIR}/man/${target}.1)
    add_custom_command(
      OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -DHELP2MAN=${TESSALY_HELP2MAN} -DPROGRAM=$<TARGET_FILE:${target}>
        -DSUMMARY=${summary} -DSEE_ALSO=${others} "-DSOURCE=Tessaly ${PROJECT_VERSION}" -DOUTPUT=${page}
        -P ${CMAKE_CURRENT_SOURCE_DIR}/ManualPage.cmake
      DEPENDS ${target} ${CMAKE_CURRENT_SOURCE_DIR}/ManualPage.cmake
      COMMENT "Writing the manual page ${target}(1)"
      VERBATIM)
    list(APPEND pages ${page})
    install(FILES ${page} DESTINATION share/man/man1)
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${pages})
endfunction()
