# Helpers every folder's CMakeLists.txt uses.

# velmora_expose_folder(<target>)
#
# Makes the headers of the current source folder reachable as
# "<folder>/Header.h" for <target> and for whatever links it, and for
# nothing else: the folder is linked into an include root of its own in
# the build tree.  A file that includes a header of a target it does not
# link therefore fails to compile, so dependencies can only point the way
# the targets link.
function(velmora_expose_folder target)
    get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    set(root ${CMAKE_BINARY_DIR}/include/${folder})
    if(NOT EXISTS ${root}/${folder})
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${target} PUBLIC ${root})
endfunction()

# velmora_add_windows(<target> <source or design> ...)
#
# A static library of window modules.  Qt's moc runs on its headers and
# uic on its designs, which are named among the sources and live in
# resources/.
function(velmora_add_windows target)
    add_library(${target} STATIC ${ARGN})
    set_target_properties(${target} PROPERTIES
        AUTOMOC ON
        AUTOUIC ON
        AUTOUIC_SEARCH_PATHS ${CMAKE_SOURCE_DIR}/resources)
    target_link_libraries(${target} PUBLIC Qt6::Widgets)
endfunction()

# velmora_manual_page(<program target> <one-line description>)
#
# The program's manual page, made by help2man from its --help and
# --version, compressed as Debian keeps manual pages, and installed into
# section 1.  Nothing without help2man.
function(velmora_manual_page program description)
    find_program(HELP2MAN help2man)
    find_program(GZIP gzip)
    if(NOT HELP2MAN OR NOT GZIP)
        return()
    endif()
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
    add_custom_command(OUTPUT ${page}.gz
                       COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                               ${HELP2MAN} --no-info --section=1 --name=${description} --output=${page}
                               $<TARGET_FILE:${program}>
                       COMMAND ${GZIP} -9nf ${page}
                       DEPENDS ${program}
                       VERBATIM)
    add_custom_target(${program}_manual ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION share/man/man1)
endfunction()
