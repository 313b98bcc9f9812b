# The layers of the program, lowest first:
#   base/core  pixlib/core  form/core  style/core  quelvano/core
#              bank001/core qr/core                                platform-free
#   base       the Windows basics: text, handle owners, module paths, system libraries
#   win        the window framework: window base, guard, faults, failure dialog, DPI
#   form style the PIX request form, the house style
#   qr         the QR Code of a PIX code in the result area
#   app        start-up and the application object: composes the program
#   quelvano bank001   the two libraries that stand where the vendor's goes
# Each target compiles against an include root of its own that holds links to
# the folders it may see and no others, so an include that points upward, or
# from platform-free code into Windows code, fails to compile.

# pix_layer_root(target DIR ...): gives target the include root that shows
# exactly DIR... (paths below the source root; a folder brings its subfolders).
function(pix_layer_root target)
    set(root ${CMAKE_BINARY_DIR}/layers/${target})
    # Made anew at every configuration: a permission taken out of the rule is
    # gone from an existing build tree too. (Removing a link never touches
    # the folder it points to.)
    file(REMOVE_RECURSE ${root})
    set(ok TRUE)
    foreach(dir IN LISTS ARGN)
        # A folder whose parent is listed comes with the parent.
        set(covered FALSE)
        foreach(other IN LISTS ARGN)
            string(FIND "${dir}" "${other}/" at)
            if(at EQUAL 0)
                set(covered TRUE)
            endif()
        endforeach()
        if(covered)
            continue()
        endif()
        get_filename_component(parent ${root}/${dir} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${dir} ${root}/${dir} RESULT linked SYMBOLIC)
        if(NOT linked EQUAL 0)
            set(ok FALSE)
        endif()
    endforeach()
    if(ok)
        target_include_directories(${target} PRIVATE ${root})
    else()
        # No symbolic links here (a Windows account without the right to make
        # them): build all the same, but say loudly that nothing is checked.
        message(WARNING "${target}: cannot make symbolic links here, so the layer rule is NOT checked for "
                        "this target (an upward include would compile). Build on Linux, or on Windows with "
                        "Developer Mode or the right to create symbolic links, to check it.")
        target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
    endif()
endfunction()

# pix_core_library(name DIR [SEES dir...] [LINKS target...]): the platform-free
# code of DIR as a static library, built natively and for Windows alike.
function(pix_core_library name dir)
    cmake_parse_arguments(ARG "" "" "SEES;LINKS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    if(sources)
        add_library(${name} STATIC ${sources})
        pix_layer_root(${name} ${dir} ${ARG_SEES})
        target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE ${ARG_LINKS})
    endif()
endfunction()
