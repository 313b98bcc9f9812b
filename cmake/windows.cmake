# The Windows programs: PixGen.exe, the stand-in Quelvano.dll and its
# recording variant, and the Windows-side tests.

enable_language(RC)

add_compile_definitions(_WIN32_WINNT=0x0600 WINVER=0x0600 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
if(MINGW)
    # No runtime DLL beside the program: only Windows' own and Quelvano.dll.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # Small files: unused code and data are dropped, symbols stripped.
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-Wl,--gc-sections -s)
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PIX_IMPORT_DEF ${CMAKE_SOURCE_DIR}/pixlib/Quelvano-x86.def)
    set(PIX_DLLTOOL_FLAGS -k)   # import the plain name NewPix for NewPix@44
else()
    set(PIX_IMPORT_DEF ${CMAKE_SOURCE_DIR}/pixlib/Quelvano-x64.def)
    set(PIX_DLLTOOL_FLAGS)
endif()

# The import library comes from the .def file, never from our own DLL, so the
# program binds to whatever Quelvano.dll exports plain NewPix.
set(PIX_IMPORT_LIB ${CMAKE_BINARY_DIR}/libQuelvano.a)
add_custom_command(OUTPUT ${PIX_IMPORT_LIB}
    COMMAND ${PIX_DLLTOOL} ${PIX_DLLTOOL_FLAGS} -d ${PIX_IMPORT_DEF} -l ${PIX_IMPORT_LIB}
    DEPENDS ${PIX_IMPORT_DEF}
    COMMENT "Import library for Quelvano.dll")
add_custom_target(quelvano_import DEPENDS ${PIX_IMPORT_LIB})
add_library(quelvano_import_lib INTERFACE)
add_dependencies(quelvano_import_lib quelvano_import)
target_link_libraries(quelvano_import_lib INTERFACE ${PIX_IMPORT_LIB})

file(GLOB PIXGEN_SOURCES CONFIGURE_DEPENDS app/*.cpp form/*.cpp style/*.cpp)
add_executable(PixGen WIN32 ${PIXGEN_SOURCES} app/pixgen.rc ${PIX_STYLE_RC})
add_dependencies(PixGen style_packed)
target_include_directories(PixGen PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(PixGen PRIVATE pixcore quelvano_import_lib
    comctl32 ole32 user32 gdi32 kernel32)
if(MINGW)
    target_link_options(PixGen PRIVATE -municode)
endif()
set_target_properties(PixGen PROPERTIES OUTPUT_NAME PixGen)

# The stand-in library, and its recording twin in a folder of its own (both
# are called Quelvano.dll, as the loader wants).
function(pix_quelvano_dll target dir)
    add_library(${target} SHARED quelvano/quelvano.cpp ${ARGN})
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${target} PRIVATE quelvano_core)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME Quelvano PREFIX ""
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${dir}
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/implib/${target})
    if(MINGW)
        target_link_options(${target} PRIVATE -Wl,--kill-at)
    endif()
endfunction()
pix_quelvano_dll(Quelvano .)
pix_quelvano_dll(QuelvanoRecording recording quelvano/recording.cpp)
target_compile_definitions(QuelvanoRecording PRIVATE QUELVANO_RECORDING)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/CMakeLists.txt)
    add_subdirectory(tests/wine)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_subdirectory(tests/i686)
endif()

# The sample charge that scripts/run types into the window where nobody watches.
add_executable(sample_charge scripts/demo/sample_charge.cpp)
target_include_directories(sample_charge PRIVATE ${CMAKE_SOURCE_DIR})
if(MINGW)
    target_link_options(sample_charge PRIVATE -municode)
endif()

# Timings of the Windows program, run by hand under the harness, never by
# ctest (see the file's head).
if(TARGET pixtest_driver)
    add_executable(startup_bench bench/startup_bench.cpp)
    target_link_libraries(startup_bench PRIVATE pixtest_driver)
    set_target_properties(startup_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    add_dependencies(startup_bench PixGen Quelvano)
    add_executable(style_bench bench/style_bench.cpp)
    target_link_libraries(style_bench PRIVATE pixtest_driver)
    set_target_properties(style_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    add_dependencies(style_bench PixGen Quelvano)
endif()
