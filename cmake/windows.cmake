# The Windows programs: PixGen.exe, the stand-in Quelvano.dll and its
# recording variant, and the Windows-side tests.

enable_language(RC)
if(MINGW)
    enable_language(ASM)  # win/trap_frame.S
endif()

add_compile_definitions(_WIN32_WINNT=0x0600 WINVER=0x0600 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
if(MINGW)
    # No runtime DLL beside the program: only Windows' own and Quelvano.dll.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # Small files: unused code and data (in sections of their own, see
    # cmake/mingw-common.cmake) are dropped, symbols stripped.
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

# The Windows layers of the program, one library each (cmake/layers.cmake).
function(pix_windows_layer name dir)
    cmake_parse_arguments(ARG "" "" "SEES;LINKS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    add_library(${name} STATIC ${sources})
    pix_layer_root(${name} ${dir} ${ARG_SEES})
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
endfunction()
pix_windows_layer(pix_base base LINKS base_core kernel32)
pix_windows_layer(pix_win win SEES base LINKS pix_base win_core user32 gdi32)
if(MINGW)
    target_sources(pix_win PRIVATE ${CMAKE_SOURCE_DIR}/win/trap_frame.S)
endif()
pix_windows_layer(pix_style style SEES base win LINKS pix_win style_core comctl32)
# The QR Code of the result area's PIX codes, attached to the form from app/.
pix_windows_layer(pix_qr qr SEES base win LINKS pix_win qr_core comctl32 ole32 uuid)

# The form's layer, and PixGen.exe from app/ on a build of it: the benchmarks
# make a timed twin of both (bench/CMakeLists.txt).
function(pix_form_layer name)
    pix_windows_layer(${name} form SEES base win pixlib
        LINKS pix_win form_core pixlib_core quelvano_import_lib comctl32)
endfunction()
function(pix_program name form_library)
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*.cpp)
    add_executable(${name} WIN32 ${sources} ${CMAKE_SOURCE_DIR}/app/pixgen.rc ${PIX_STYLE_RC})
    # The packed house style, embedded by the resource script.
    add_dependencies(${name} style_packed)
    set_source_files_properties(${PIX_STYLE_RC} PROPERTIES OBJECT_DEPENDS ${PIX_STYLE_PACKED})
    pix_layer_root(${name} app base win form style pixlib qr)
    target_link_libraries(${name} PRIVATE ${form_library} pix_style pix_qr ole32)
    if(MINGW)
        target_link_options(${name} PRIVATE -municode)
    endif()
    set_target_properties(${name} PROPERTIES OUTPUT_NAME PixGen)
endfunction()

pix_form_layer(pix_form)
pix_program(PixGen pix_form)
if(MINGW)
    # The link map shows what each part costs (scripts/bench reads it).
    target_link_options(PixGen PRIVATE -Wl,-Map=${CMAKE_BINARY_DIR}/PixGen.map)
endif()

# The stand-in library, and its recording twin in a folder of its own (both
# are called Quelvano.dll, as the loader wants).
function(pix_quelvano_dll target dir)
    add_library(${target} SHARED quelvano/quelvano.cpp ${ARGN})
    pix_layer_root(${target} quelvano base/core pixlib)
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

include(cmake/harness.cmake)
add_subdirectory(tests/wine)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    add_subdirectory(tests/i686)
endif()

# The sample charge that scripts/run types into the window where nobody watches.
add_executable(sample_charge scripts/demo/sample_charge.cpp)
target_include_directories(sample_charge PRIVATE ${CMAKE_SOURCE_DIR})
if(MINGW)
    target_link_options(sample_charge PRIVATE -municode)
endif()
