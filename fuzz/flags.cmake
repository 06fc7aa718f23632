# The fuzz tree's compiler flags: libFuzzer coverage in every library (the targets add the fuzzer's
# own main), with AddressSanitizer and UndefinedBehaviorSanitizer stopping at the first report.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz tree needs clang (-DCMAKE_CXX_COMPILER=clang++); this is ${CMAKE_CXX_COMPILER_ID}.")
endif()
set(TESSIVAR_FUZZ_SANITIZERS address,undefined,float-cast-overflow,float-divide-by-zero)
add_compile_options(-fsanitize=fuzzer-no-link,${TESSIVAR_FUZZ_SANITIZERS} -fno-sanitize-recover=all
                    -fno-omit-frame-pointer -g)
add_compile_definitions(_GLIBCXX_ASSERTIONS)
add_link_options(-fsanitize=${TESSIVAR_FUZZ_SANITIZERS} -fno-sanitize-recover=all)
