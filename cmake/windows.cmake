# Windows build: the program, the sample plug-ins, the demo folder and the
# tests that check its image and run it under Wine, on each build.
enable_language(RC)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(MANIFEST_ARCH amd64)
    set(PE_MACHINE x86-64)
else()
    set(MANIFEST_ARCH x86)
    set(PE_MACHINE i386)
endif()
configure_file(res/setup.manifest.in ${CMAKE_BINARY_DIR}/setup.manifest.full @ONLY)
# The program carries the manifest without its comments and indentation: a third
# of a KiB of the 32-bit program's 80,000 bytes.
file(READ ${CMAKE_BINARY_DIR}/setup.manifest.full manifest)
string(REGEX REPLACE "<!--[^>]*-->" "" manifest "${manifest}")
string(REGEX REPLACE "[ \t]*\n[ \t]*" " " manifest "${manifest}")
string(REGEX REPLACE "> +<" "><" manifest "${manifest}")
string(STRIP "${manifest}" manifest)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/setup.manifest CONTENT "${manifest}\n" @ONLY)
configure_file(res/version.h.in ${CMAKE_BINARY_DIR}/version.h @ONLY)

# Small and self-contained: no exceptions, no RTTI, everything static, and
# optimised across files at the link. No -fdata-sections: with it mingw's GCC
# stores zero-filled buffers in .data, byte for byte, instead of .bss.
set(small_code -Oz -fno-exceptions -fno-rtti -ffunction-sections -flto)
# Without exceptions only a debugger would read the 32-bit build's DWARF
# unwind tables (a tenth of the program); the 64-bit build keeps the unwind
# data that Windows itself walks.
if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    list(APPEND small_code -fno-asynchronous-unwind-tables)
endif()
set(small_link -static -s -Wl,--gc-sections -flto -Oz)
target_compile_options(corvane_logic PRIVATE ${small_code})

set(win32_definitions UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# comctl32, shell32, shlwapi, ole32 and oleaut32 are not imported but loaded at
# run time from the system folder, through sysdll:: (common/system_libraries.*);
# a call that bypasses it imports its DLL, which the image check
# (scripts/check-pe.sh) refuses, or does not link.
add_library(corvane_system STATIC common/system_libraries.cpp)
target_compile_definitions(corvane_system PRIVATE ${win32_definitions})
target_compile_options(corvane_system PRIVATE ${small_code} -Wall -Wextra)
target_link_libraries(corvane_system PUBLIC corvane_logic)
# How a catalog and its plug-in files are read, shared by the installer and
# the checker.
add_library(corvane_catalog_file STATIC catalog/catalog_file.cpp common/program_path.cpp common/checked_file.cpp)
target_compile_definitions(corvane_catalog_file PRIVATE ${win32_definitions})
target_compile_options(corvane_catalog_file PRIVATE ${small_code} -Wall -Wextra)
target_link_libraries(corvane_catalog_file PUBLIC corvane_system corvane_logic)

# Quoted: these flags reach the shell as written, and a clone's path may hold spaces.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I\"${CMAKE_SOURCE_DIR}\" -I\"${CMAKE_BINARY_DIR}\"")
add_executable(CorvaneSetup WIN32
    app/main.cpp
    app/credit_link.cpp
    app/dialog_window.cpp
    app/folder_picker.cpp
    common/user_start.cpp
    catalog/catalog.cpp
    install/install.cpp
    install/destination.cpp
    install/install_operation.cpp
    install/unattended.cpp
    photoshop/editor.cpp
    photoshop/folders.cpp
    photoshop/photoshop.cpp
    common/registry_text.cpp
    res/setup.rc)
target_compile_definitions(CorvaneSetup PRIVATE ${win32_definitions})
target_compile_options(CorvaneSetup PRIVATE ${small_code} -Wall -Wextra)
target_link_options(CorvaneSetup PRIVATE -municode ${small_link})
target_link_libraries(CorvaneSetup PRIVATE corvane_catalog_file corvane_logic advapi32 uuid)
target_include_directories(CorvaneSetup PRIVATE ${CMAKE_BINARY_DIR})
set_source_files_properties(res/setup.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/app.ico;${CMAKE_BINARY_DIR}/setup.manifest;${CMAKE_SOURCE_DIR}/common/credit.h;${CMAKE_SOURCE_DIR}/res/version.rc;${CMAKE_BINARY_DIR}/version.h")

# The plug-in maker's checker: a console program over the same catalog code.
# --plan runs the installer's own unattended code with nothing written.
add_executable(CorvaneCheck check/main.cpp check/plan.cpp check/check.rc install/unattended.cpp
    install/install_operation.cpp install/destination.cpp photoshop/folders.cpp photoshop/editor.cpp
    common/user_start.cpp common/registry_text.cpp)
target_include_directories(CorvaneCheck PRIVATE ${CMAKE_BINARY_DIR})
set_source_files_properties(check/check.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/common/credit.h;${CMAKE_SOURCE_DIR}/res/version.rc;${CMAKE_BINARY_DIR}/version.h")
target_compile_definitions(CorvaneCheck PRIVATE ${win32_definitions} ${system_definitions})
target_compile_options(CorvaneCheck PRIVATE ${small_code} -Wall -Wextra)
target_link_options(CorvaneCheck PRIVATE -municode ${small_link})
target_link_libraries(CorvaneCheck PRIVATE corvane_catalog_file advapi32 uuid)

# Sample plug-ins: small DLLs named like plug-ins, each with its own version data.
set(sample_plugins "")
foreach(sample IN ITEMS SAMPLE_ZH SAMPLE_EN SAMPLE_TWO SAMPLE_NONE)
    string(TOLOWER ${sample} target)
    add_library(${target} SHARED tests/fixtures/sample_plugin.c)
    if(NOT sample STREQUAL "SAMPLE_NONE")
        target_sources(${target} PRIVATE tests/fixtures/sample_plugin.rc)
    endif()
    target_compile_definitions(${target} PRIVATE ${sample})
    target_link_options(${target} PRIVATE ${small_link})
    list(APPEND sample_plugins ${target})
endforeach()
set_target_properties(sample_zh PROPERTIES PREFIX "" SUFFIX ".8bf" OUTPUT_NAME CorvaneSharpen)
set_target_properties(sample_en PROPERTIES PREFIX "" SUFFIX ".8bf" OUTPUT_NAME CorvaneFrame)
set_target_properties(sample_two PROPERTIES PREFIX "" SUFFIX ".8bf" OUTPUT_NAME CorvaneGlow)
set_target_properties(sample_none PROPERTIES PREFIX "" SUFFIX ".8bf" OUTPUT_NAME CorvaneNoise)

# The demo folder: what a plug-in maker ships.
set(demo_dir ${CMAKE_BINARY_DIR}/demo)
add_custom_command(OUTPUT ${demo_dir}/Corvane.ini
    COMMAND ${CMAKE_COMMAND} -E make_directory ${demo_dir}
    COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/make-catalog.sh ${CMAKE_SOURCE_DIR}/demo/Corvane.ini ${demo_dir}/Corvane.ini
    DEPENDS ${CMAKE_SOURCE_DIR}/demo/Corvane.ini ${CMAKE_SOURCE_DIR}/scripts/make-catalog.sh)
set(demo_copies "")
foreach(target IN ITEMS CorvaneSetup ${sample_plugins})
    list(APPEND demo_copies COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${demo_dir}/)
endforeach()
add_custom_target(demo ALL ${demo_copies} DEPENDS ${demo_dir}/Corvane.ini CorvaneSetup ${sample_plugins})

add_subdirectory(tests)
