# Native build: the portable logic under AddressSanitizer and UBSan, with its unit tests.
set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
target_compile_options(corvane_logic PRIVATE ${sanitizers} -g)
target_link_options(corvane_logic PUBLIC ${sanitizers})

find_package(GTest REQUIRED)
add_executable(unit_tests
    tests/unit/wide_text_test.cpp
    tests/unit/catalog_test.cpp
    tests/unit/check_test.cpp
    tests/unit/folders_test.cpp
    tests/unit/install_test.cpp
    tests/unit/unattended_test.cpp
    tests/unit/pe_image_test.cpp
    tests/unit/placement_test.cpp)
target_compile_options(unit_tests PRIVATE ${sanitizers} -g -Wall -Wextra)
target_compile_definitions(unit_tests PRIVATE CORVANE_FIXTURES="${CMAKE_SOURCE_DIR}/tests/fixtures")
target_link_libraries(unit_tests PRIVATE corvane_logic GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST)

