# Helpers shared by the subdirectories.

# Where the stand-in Windows headers live (host build only).
set(PEXA_PLATFORM_INCLUDE ${CMAKE_SOURCE_DIR}/platform/include)

# Where every deliverable and shipped file of a build is collected.
set(PEXA_OUTPUT_DIR ${CMAKE_BINARY_DIR}/bin)
file(MAKE_DIRECTORY ${PEXA_OUTPUT_DIR})

# Windows images ship without their symbol tables (the driver's was half its file), and
# each leaves a linker map in maps/, from which tools/footprint tells what it contains.
if(PEXA_WINDOWS)
    set(PEXA_MAP_DIR ${CMAKE_BINARY_DIR}/maps)
    file(MAKE_DIRECTORY ${PEXA_MAP_DIR})
    add_link_options(-s "LINKER:-Map=${PEXA_MAP_DIR}/$<TARGET_PROPERTY:NAME>.map")
endif()

# A user program of the system (tray program, selector).
#   host: a loadable module that the simulated machine starts as a process;
#   Windows: a GUI executable with its resource script.
function(pexa_program target)
    cmake_parse_arguments(P "" "RC" "SOURCES;DEFINES;LIBS" ${ARGN})
    if(PEXA_WINDOWS)
        add_executable(${target} WIN32 ${P_SOURCES} ${P_RC})
        target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
        if(PEXA_BUILD STREQUAL "win32")
            # The run-time's default terminate handler prints the type of the exception,
            # and for that links the C++ name demangler and a printf of its own: 70 KB,
            # half of the program. A GUI program has nowhere to print; on the
            # deliverables terminate calls abort at once, as the handler does after
            # printing. (The Wine build keeps the message: its log shows it.)
            target_link_options(${target} PRIVATE
                "LINKER:--defsym,__ZN9__gnu_cxx27__verbose_terminate_handlerEv=_abort")
        endif()
    else()
        add_library(${target} MODULE ${P_SOURCES})
        set_target_properties(${target} PROPERTIES PREFIX "" CXX_VISIBILITY_PRESET hidden
                                                   VISIBILITY_INLINES_HIDDEN ON)
        target_link_options(${target} PRIVATE -Wl,-Bsymbolic -Wl,--no-undefined)
        target_link_libraries(${target} PRIVATE winsim)
        if(P_RC)
            # The simulated machine reads the same resource script that windres compiles,
            # with the headers it includes.
            file(GLOB rc_headers ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
            add_custom_command(TARGET ${target} POST_BUILD
                COMMAND ${CMAKE_COMMAND} -E make_directory ${PEXA_OUTPUT_DIR}/res/${target}
                COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${P_RC}
                        ${PEXA_OUTPUT_DIR}/res/${target}/${target}.rc
                COMMAND ${CMAKE_COMMAND} -E copy ${rc_headers} ${PEXA_OUTPUT_DIR}/res/${target})
        endif()
    endif()
    target_compile_definitions(${target} PRIVATE ${P_DEFINES})
    target_link_libraries(${target} PRIVATE ${P_LIBS})
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PEXA_OUTPUT_DIR}
                                               LIBRARY_OUTPUT_DIRECTORY ${PEXA_OUTPUT_DIR})
endfunction()
