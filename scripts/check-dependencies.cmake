# Keeps the architecture as the tree shows it: core (no widgets) <- subsystem windows <- app/.
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DWIDGETS_INCLUDE_DIR=... -DCORE_SOURCES=file
#         -DUI_SOURCES=file -P this
# CORE_SOURCES lists the sources of the widget-free libraries, UI_SOURCES those of the window
# library, one path a line. Fails, naming every offending line, when
#  - a file outside app/ (tests and benchmarks drive the whole program and are exempt) includes
#    a header from app/;
#  - a widget-free source includes a widget header (QtWidgets, QScintilla, a designer form) or a
#    window header from a ui/ folder;
#  - a widget-free source lies in a ui/ folder, or a window source outside one.
cmake_minimum_required(VERSION 3.16)

set(problems "")

function(includes_of file out)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    set(${out} "${lines}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE product RELATIVE "${SOURCE_DIR}"
    "${SOURCE_DIR}/common/*.[ch]*" "${SOURCE_DIR}/project/*.[ch]*" "${SOURCE_DIR}/editor/*.[ch]*"
    "${SOURCE_DIR}/toolchain/*.[ch]*" "${SOURCE_DIR}/device/*.[ch]*"
    "${SOURCE_DIR}/screentools/*.[ch]*" "${SOURCE_DIR}/simulator/*.[ch]*" "${SOURCE_DIR}/fuzz/*.[ch]*")
foreach(rel IN LISTS product)
    if(NOT rel MATCHES "\\.(h|cpp)$")
        continue()
    endif()
    includes_of("${SOURCE_DIR}/${rel}" lines)
    foreach(line IN LISTS lines)
        if(line MATCHES "[<\"]app/")
            string(APPEND problems "${rel}: includes a header of app/: ${line}\n")
        endif()
    endforeach()
endforeach()

# Generated sources (moc) lie in the build tree and are not the tree's to arrange.
function(read_sources list_file out)
    file(STRINGS "${list_file}" paths)
    list(FILTER paths EXCLUDE REGEX "^${BINARY_DIR}/")
    set(${out} "${paths}" PARENT_SCOPE)
endfunction()

read_sources("${CORE_SOURCES}" core)
foreach(path IN LISTS core)
    file(RELATIVE_PATH rel "${SOURCE_DIR}" "${path}")
    if(rel MATCHES "(^|/)ui/")
        string(APPEND problems "${rel}: a widget-free source in a ui/ folder\n")
    endif()
    if(NOT path MATCHES "\\.(h|cpp)$" OR NOT EXISTS "${path}")
        continue()
    endif()
    includes_of("${path}" lines)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[^<\"]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
        if(header MATCHES "^(QtWidgets/|Qsci/)" OR header MATCHES "(^|/)ui_[^/]*\\.h$"
           OR header MATCHES "(^|/)ui/" OR EXISTS "${WIDGETS_INCLUDE_DIR}/${header}")
            string(APPEND problems "${rel}: widget-free, yet includes ${header}\n")
        endif()
    endforeach()
endforeach()

read_sources("${UI_SOURCES}" ui)
foreach(path IN LISTS ui)
    file(RELATIVE_PATH rel "${SOURCE_DIR}" "${path}")
    if(path MATCHES "\\.(h|cpp)$" AND NOT rel MATCHES "(^|/)ui/")
        string(APPEND problems "${rel}: a window source outside a ui/ folder\n")
    endif()
endforeach()

if(problems)
    message("Dependencies that run the wrong way:\n${problems}")
    message(FATAL_ERROR "layout check failed")
endif()
message(STATUS "Dependencies run one way.")
