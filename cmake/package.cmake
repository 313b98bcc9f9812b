# What a Windows user downloads: one ZIP per architecture (CPack), made by
# the `package` target of a Windows build tree:
#   PixGen-<version>-win32.zip (i686) or -win64.zip (x86_64), holding
#   PixGen.exe, the open bank 001 library as Quelvano.dll, a commented
#   Quelvano.ini.sample, README.txt (the user part of README.md) and, in
#   licenses/, the licences of what is linked into them.
# The version resources of PixGen.exe and of both Quelvano.dll (the stand-in
# and the bank library) come from the one version of project().

# pix_version_resource(target FILE name DESCRIPTION text): a version
# resource for the target's file.
function(pix_version_resource target)
    cmake_parse_arguments(ARG "" "FILE;DESCRIPTION" "" ${ARGN})
    get_target_property(type ${target} TYPE)
    set(PIX_VERSION_TYPE VFT_APP)
    if(type STREQUAL "SHARED_LIBRARY")
        set(PIX_VERSION_TYPE VFT_DLL)
    endif()
    set(parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH} ${PROJECT_VERSION_TWEAK})
    set(numbers)
    foreach(part IN LISTS parts)
        if(part STREQUAL "")
            set(part 0)
        endif()
        list(APPEND numbers ${part})
    endforeach()
    list(LENGTH numbers count)
    while(count LESS 4)
        list(APPEND numbers 0)
        list(LENGTH numbers count)
    endwhile()
    string(REPLACE ";" "," PIX_VERSION_COMMAS "${numbers}")
    set(PIX_VERSION_FILE ${ARG_FILE})
    set(PIX_VERSION_DESCRIPTION ${ARG_DESCRIPTION})
    get_filename_component(PIX_VERSION_INTERNAL ${ARG_FILE} NAME_WE)
    set(rc ${CMAKE_BINARY_DIR}/version/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

pix_version_resource(PixGen FILE PixGen.exe DESCRIPTION "PixGen: PIX charges for boletos")
pix_version_resource(Quelvano FILE Quelvano.dll DESCRIPTION "PixGen's stand-in for the vendor's PIX library")
pix_version_resource(QuelvanoRecording FILE Quelvano.dll
    DESCRIPTION "PixGen's stand-in for the vendor's PIX library, recording its calls")
if(NOT TARGET Bank001Quelvano)
    message(STATUS "No bank 001 library: no package")
    return()
endif()
pix_version_resource(Bank001Quelvano FILE Quelvano.dll DESCRIPTION "PIX library for bank 001 (open)")

# --- the package's contents ----------------------------------------------------------

install(TARGETS PixGen Bank001Quelvano RUNTIME DESTINATION .)

# Text files with Windows line ends, and where they are UTF-8 (README.txt,
# the licences) with its byte order mark, so that Notepad reads them as
# UTF-8 on every Windows:
#   pix_text_file(SOURCE path NAME name DESTINATION folder [UTF8])
string(ASCII 239 187 191 pix_utf8_bom)
function(pix_text_file)
    cmake_parse_arguments(ARG "UTF8" "SOURCE;NAME;DESTINATION" "" ${ARGN})
    file(READ ${ARG_SOURCE} text)
    string(REPLACE "\r\n" "\n" text "${text}")
    string(REPLACE "\n" "\r\n" text "${text}")
    if(ARG_UTF8)
        set(text "${pix_utf8_bom}${text}")
    endif()
    file(WRITE ${CMAKE_BINARY_DIR}/package/${ARG_DESTINATION}/${ARG_NAME} "${text}")
    install(FILES ${CMAKE_BINARY_DIR}/package/${ARG_DESTINATION}/${ARG_NAME} DESTINATION ${ARG_DESTINATION})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ARG_SOURCE})
endfunction()

pix_text_file(SOURCE ${CMAKE_SOURCE_DIR}/bank001/Quelvano.ini.sample NAME Quelvano.ini.sample DESTINATION .)

# README.txt: the parts of README.md between <!-- user --> and <!-- /user -->,
# the Markdown marks taken out, with Windows line ends.
file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/README.md)
set(user_text "")
set(rest "${readme}")
while(TRUE)
    string(FIND "${rest}" "<!-- user -->" begin)
    if(begin LESS 0)
        break()
    endif()
    math(EXPR begin "${begin} + 13")
    string(SUBSTRING "${rest}" ${begin} -1 rest)
    string(FIND "${rest}" "<!-- /user -->" end)
    if(end LESS 0)
        message(FATAL_ERROR "README.md: a <!-- user --> part without its <!-- /user -->")
    endif()
    string(SUBSTRING "${rest}" 0 ${end} part)
    string(STRIP "${part}" part)
    string(APPEND user_text "${part}\n\n")
    math(EXPR end "${end} + 14")
    string(SUBSTRING "${rest}" ${end} -1 rest)
endwhile()
if(user_text STREQUAL "")
    message(FATAL_ERROR "README.md has no part marked <!-- user --> ... <!-- /user -->")
endif()
string(REGEX REPLACE "\\*\\*([^*]+)\\*\\*" "\\1" user_text "${user_text}")
string(REPLACE "`" "" user_text "${user_text}")
string(REGEX REPLACE "(^|\n)#+ " "\\1" user_text "${user_text}")
file(WRITE ${CMAKE_BINARY_DIR}/package/README.md.txt "${user_text}")
pix_text_file(SOURCE ${CMAKE_BINARY_DIR}/package/README.md.txt NAME README.txt DESTINATION . UTF8)

# The licences of what is linked in: the QR Code generator (in PixGen.exe),
# the JSON library (a header library, in the bank library), and in both the
# MinGW-w64 runtime and the GCC runtime libraries (libgcc, libstdc++), linked
# statically. The last two as the Debian packages that hold the libraries
# this compiler links state them; the GCC runtime's copyright refers to the
# GPL version 3, whose text comes along (the Runtime Library Exception that
# frees programs linking it is in the copyright itself).

# The copyright file of the Debian package that holds the library the
# compiler links under that name; empty where that cannot be known.
function(pix_linked_library_copyright out library)
    set(${out} "" PARENT_SCOPE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${library}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE printed ERROR_QUIET)
    find_program(PIX_DPKG dpkg)
    if(NOT printed EQUAL 0 OR NOT PIX_DPKG OR NOT IS_ABSOLUTE "${path}")
        return()
    endif()
    get_filename_component(path ${path} REALPATH)
    execute_process(COMMAND ${PIX_DPKG} -S ${path} OUTPUT_VARIABLE owner RESULT_VARIABLE found ERROR_QUIET)
    if(found EQUAL 0 AND owner MATCHES "^([^:, ]+):")
        set(${out} /usr/share/doc/${CMAKE_MATCH_1}/copyright PARENT_SCOPE)
    endif()
endfunction()
pix_linked_library_copyright(pix_gcc_copyright libstdc++.a)
pix_linked_library_copyright(pix_mingw_copyright libmingwex.a)
set(PIX_LICENSE_FILES
    "QR-Code-generator.txt=${PIX_QRCODEGEN_LICENSE}"
    "nlohmann-json.txt=/usr/share/doc/nlohmann-json3-dev/copyright"
    "MinGW-w64-runtime.txt=${pix_mingw_copyright}"
    "GCC-runtime-libraries.txt=${pix_gcc_copyright}"
    "GPL-3.txt=/usr/share/common-licenses/GPL-3")
foreach(entry IN LISTS PIX_LICENSE_FILES)
    string(REGEX MATCH "^([^=]+)=(.*)$" matched "${entry}")
    if(NOT EXISTS "${CMAKE_MATCH_2}")
        message(WARNING "The licence ${CMAKE_MATCH_1} is not to be found (\"${CMAKE_MATCH_2}\"): the package "
                        "lacks it")
        continue()
    endif()
    pix_text_file(SOURCE ${CMAKE_MATCH_2} NAME ${CMAKE_MATCH_1} DESTINATION licenses UTF8)
endforeach()

# --- the ZIP ---------------------------------------------------------------------------

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(CPACK_SYSTEM_NAME win32)
else()
    set(CPACK_SYSTEM_NAME win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME PixGen)
set(CPACK_PACKAGE_VENDOR PixGen)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME PixGen-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES OFF)
include(CPack)
