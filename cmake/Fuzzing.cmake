option(TESSALY_FUZZ "Build the libFuzzer targets in fuzz/ (clang only)" OFF)
if(TESSALY_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSALY_FUZZ needs clang++ (the fuzz preset sets it)")
  endif()
  # Everything the targets link is instrumented for coverage and checked by the
  # sanitizers; only the targets themselves link libFuzzer's main.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
