# The house style as the program carries it: the packer turns the readable
# source into the packed resource WINDOWSCORVANTI. The packer runs on the build
# machine, so a cross build builds it as a project of its own with the host's
# compiler; the native build has it as an ordinary target.
set(PIX_STYLE_SOURCE ${CMAKE_SOURCE_DIR}/style/windows10_corvanti.style)
set(PIX_STYLE_PACKED ${CMAKE_BINARY_DIR}/style/windows10_corvanti.bin)

if(CMAKE_CROSSCOMPILING)
    include(ExternalProject)
    set(PIX_STYLEPACK ${CMAKE_BINARY_DIR}/host-tools/stylepack${CMAKE_HOST_EXECUTABLE_SUFFIX})
    ExternalProject_Add(stylepack_host
        SOURCE_DIR ${CMAKE_SOURCE_DIR}/style/tool
        BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
        CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON  # the packer's sources lie outside its own folder
        BUILD_BYPRODUCTS ${PIX_STYLEPACK})
    set(PIX_STYLEPACK_DEPENDS stylepack_host ${PIX_STYLEPACK})
else()
    add_subdirectory(${CMAKE_SOURCE_DIR}/style/tool ${CMAKE_BINARY_DIR}/style/tool)
    set(PIX_STYLEPACK $<TARGET_FILE:stylepack>)
    set(PIX_STYLEPACK_DEPENDS stylepack)
endif()

add_custom_command(OUTPUT ${PIX_STYLE_PACKED}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/style
    COMMAND ${PIX_STYLEPACK} ${PIX_STYLE_SOURCE} ${PIX_STYLE_PACKED}
    DEPENDS ${PIX_STYLE_SOURCE} ${PIX_STYLEPACK_DEPENDS}
    COMMENT "Packing the house style")
add_custom_target(style_packed DEPENDS ${PIX_STYLE_PACKED})

if(WIN32)
    # The resource script names the packed file by its full path in the build.
    set(PIX_STYLE_RC ${CMAKE_BINARY_DIR}/style/style.rc)
    file(WRITE ${PIX_STYLE_RC}.in "WINDOWSCORVANTI RCDATA \"@PIX_STYLE_PACKED@\"\n")
    configure_file(${PIX_STYLE_RC}.in ${PIX_STYLE_RC} @ONLY)
endif()
