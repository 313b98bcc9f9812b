# The QR Code generator the program links: Project Nayuki's library (MIT),
# its C version, from the upstream tarball that Debian's source package
# qr-code-generator carries. Nothing of it is in the repository:
# scripts/lib/qrcodegen.sh fetches the tarball (apt's source download) into
# PIX_DOWNLOADS, the build checks it against the SHA-256 recorded in
# cmake/qrcodegen.sha256 and unpacks it into this build tree.
#
# The C version rather than the C++ one: fixed buffers, no exceptions and no
# standard containers, so it costs the i686 PixGen.exe a fraction of what the
# C++ version does (README, "Size").
#
# Elsewhere than on Debian: download the tarball named in
# cmake/qrcodegen.sha256 by hand and pass its folder as PIX_DOWNLOADS.

if(DEFINED ENV{PIX_DOWNLOADS})
    set(pix_downloads_default $ENV{PIX_DOWNLOADS})
else()
    set(pix_downloads_default ${CMAKE_SOURCE_DIR}/build/downloads)
endif()
set(PIX_DOWNLOADS ${pix_downloads_default} CACHE PATH "Folder of the third-party source tarballs the build uses")

file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/qrcodegen.sha256 pix_qrcodegen_record LIMIT_COUNT 1)
string(REGEX MATCH "^([0-9a-f]+)  (.+)$" pix_qrcodegen_match "${pix_qrcodegen_record}")
set(PIX_QRCODEGEN_SHA256 ${CMAKE_MATCH_1})
set(PIX_QRCODEGEN_TARBALL ${PIX_DOWNLOADS}/${CMAKE_MATCH_2})
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/qrcodegen.sha256)

function(pix_qrcodegen_hash out)
    set(hash "")
    if(EXISTS ${PIX_QRCODEGEN_TARBALL})
        file(SHA256 ${PIX_QRCODEGEN_TARBALL} hash)
    endif()
    set(${out} "${hash}" PARENT_SCOPE)
endfunction()

pix_qrcodegen_hash(pix_qrcodegen_hash)
if(NOT pix_qrcodegen_hash STREQUAL PIX_QRCODEGEN_SHA256)
    find_program(PIX_BASH bash)
    if(NOT PIX_BASH)
        message(FATAL_ERROR "The QR Code generator's source is missing: put ${PIX_QRCODEGEN_TARBALL} there "
                            "(SHA-256 ${PIX_QRCODEGEN_SHA256})")
    endif()
    message(STATUS "Fetching ${PIX_QRCODEGEN_TARBALL}")
    execute_process(COMMAND ${PIX_BASH} ${CMAKE_SOURCE_DIR}/scripts/lib/qrcodegen.sh ${PIX_DOWNLOADS}
        RESULT_VARIABLE fetched OUTPUT_QUIET)
    pix_qrcodegen_hash(pix_qrcodegen_hash)
    if(NOT fetched EQUAL 0 OR NOT pix_qrcodegen_hash STREQUAL PIX_QRCODEGEN_SHA256)
        message(FATAL_ERROR "Could not fetch ${PIX_QRCODEGEN_TARBALL} with SHA-256 ${PIX_QRCODEGEN_SHA256} "
                            "(scripts/lib/qrcodegen.sh)")
    endif()
endif()

# Unpacked again whenever the tarball's hash is not the one last unpacked.
set(PIX_QRCODEGEN_DIR ${CMAKE_BINARY_DIR}/qrcodegen)
set(pix_qrcodegen_stamp ${PIX_QRCODEGEN_DIR}/unpacked.sha256)
set(pix_qrcodegen_unpacked "")
if(EXISTS ${pix_qrcodegen_stamp})
    file(READ ${pix_qrcodegen_stamp} pix_qrcodegen_unpacked)
endif()
if(NOT pix_qrcodegen_unpacked STREQUAL PIX_QRCODEGEN_SHA256)
    file(REMOVE_RECURSE ${PIX_QRCODEGEN_DIR})
    file(ARCHIVE_EXTRACT INPUT ${PIX_QRCODEGEN_TARBALL} DESTINATION ${PIX_QRCODEGEN_DIR}/unpacked
         PATTERNS "*/c/qrcodegen.c" "*/c/qrcodegen.h" "*/Readme.markdown")
    file(GLOB pix_qrcodegen_top ${PIX_QRCODEGEN_DIR}/unpacked/*)
    file(RENAME ${pix_qrcodegen_top} ${PIX_QRCODEGEN_DIR}/source)
    file(REMOVE_RECURSE ${PIX_QRCODEGEN_DIR}/unpacked)
    # Its licence, as the upstream Readme ends with it.
    file(READ ${PIX_QRCODEGEN_DIR}/source/Readme.markdown readme)
    string(FIND "${readme}" "\nLicense\n-------\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "The QR Code generator's Readme has no License section")
    endif()
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${readme}" ${at} -1 licence)
    file(WRITE ${PIX_QRCODEGEN_DIR}/LICENSE.txt "QR Code generator library (C), version 1.8.0\n\n${licence}")
    file(WRITE ${pix_qrcodegen_stamp} ${PIX_QRCODEGEN_SHA256})
endif()
set(PIX_QRCODEGEN_LICENSE ${PIX_QRCODEGEN_DIR}/LICENSE.txt)

add_library(qrcodegen STATIC ${PIX_QRCODEGEN_DIR}/source/c/qrcodegen.c)
target_include_directories(qrcodegen SYSTEM PUBLIC ${PIX_QRCODEGEN_DIR}/source/c)
set_target_properties(qrcodegen PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON)
