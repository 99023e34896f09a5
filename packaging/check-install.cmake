# Installs the build into a temporary DESTDIR under /usr, as the Debian package does, and checks
# the installed tree: every file in place, the command-line programs answering from another
# folder, the API reference with its entries, API completion in an editor made in a folder that
# holds no data of the IDE.
#   cmake -DBINARY_DIR=<build> -DDESTDIR_ROOT=<scratch folder> -DEDITOR_SUITE=<tst_editor> -P this
cmake_minimum_required(VERSION 3.16)

file(REMOVE_RECURSE "${DESTDIR_ROOT}")
file(MAKE_DIRECTORY "${DESTDIR_ROOT}")
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${DESTDIR_ROOT}
                        ${CMAKE_COMMAND} --install "${BINARY_DIR}" --prefix /usr
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "install failed:\n${output}")
endif()

set(usr "${DESTDIR_ROOT}/usr")
set(problems "")
foreach(path IN ITEMS
        bin/kestrun-ide bin/kestrun-build bin/kestrun-run bin/kestrun-device-sim
        share/kestrun-ide/adb/a.sh
        share/kestrun-ide/help/api-reference.html
        share/applications/kestrun-ide.desktop
        share/icons/hicolor/scalable/apps/kestrun-ide.svg share/icons/hicolor/256x256/apps/kestrun-ide.png
        share/man/man1/kestrun-build.1 share/man/man1/kestrun-run.1 share/man/man1/kestrun-device-sim.1)
    if(NOT EXISTS "${usr}/${path}")
        string(APPEND problems "missing: /usr/${path}\n")
    endif()
endforeach()

# The desktop entry starts the installed program by name and shows the installed icon.
file(READ "${usr}/share/applications/kestrun-ide.desktop" entry)
# ("|" stands for ";", which would split the list.)
foreach(item IN ITEMS "Exec=kestrun-ide" "Icon=kestrun-ide" "Name[zh_CN]=Kestrun开发平台" "Categories=Development|IDE|")
    string(REPLACE "|" ";" line "${item}")
    string(FIND "${entry}" "\n${line}\n" at)
    if(at EQUAL -1)
        string(APPEND problems "desktop entry lacks ${line}\n")
    endif()
endforeach()

file(READ "${usr}/share/kestrun-ide/help/api-reference.html" reference)
foreach(anchor IN ITEMS touchClick findImageFuzzy string.format local-run)
    if(NOT reference MATCHES "id=\"${anchor}\"")
        string(APPEND problems "API reference has no entry ${anchor}\n")
    endif()
endforeach()

# From a folder that holds nothing of the project.
foreach(program IN ITEMS kestrun-build kestrun-run kestrun-device-sim)
    foreach(option IN ITEMS --version --help)
        execute_process(COMMAND "${usr}/bin/${program}" ${option} WORKING_DIRECTORY "${DESTDIR_ROOT}"
                        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
        if(NOT status EQUAL 0 OR NOT output MATCHES "${program}" OR NOT errors STREQUAL "")
            string(APPEND problems "${program} ${option}: exit ${status}, output [${output}], errors [${errors}]\n")
        endif()
    endforeach()
endforeach()

# The editor's suite, placed as the installed IDE is, completes API names from DESTDIR_ROOT.
file(COPY "${EDITOR_SUITE}" DESTINATION "${usr}/bin")
get_filename_component(suite "${EDITOR_SUITE}" NAME)
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                        "${usr}/bin/${suite}" completionInAFolderWithoutData
                WORKING_DIRECTORY "${DESTDIR_ROOT}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT status EQUAL 0)
    string(APPEND problems "no API completion from another folder:\n${output}\n")
endif()

if(problems)
    message(FATAL_ERROR "installed tree:\n${problems}")
endif()
file(REMOVE_RECURSE "${DESTDIR_ROOT}")
message(STATUS "installed tree complete")
