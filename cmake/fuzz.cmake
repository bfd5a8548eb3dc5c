# Fuzz build: the portable logic instrumented for libFuzzer, under AddressSanitizer
# and UBSan, with one fuzz target per area. scripts/fuzz.sh builds and runs them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "CORVANE_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
endif()
set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(corvane_logic PRIVATE -fsanitize=fuzzer-no-link ${sanitizers} -O1 -g)

foreach(area IN ITEMS common catalog folders install placement pe_image)
    add_executable(${area}_fuzz tests/fuzz/${area}_fuzz.cpp)
    target_compile_options(${area}_fuzz PRIVATE -fsanitize=fuzzer ${sanitizers} -O1 -g -Wall -Wextra)
    target_link_options(${area}_fuzz PRIVATE -fsanitize=fuzzer ${sanitizers})
    target_link_libraries(${area}_fuzz PRIVATE corvane_logic)
endforeach()
