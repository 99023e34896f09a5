# Keeps the architecture as the tree shows it: core (no widgets) <- subsystem windows <- app/.
#   cmake -DSOURCE_DIR=... -DBINARY_DIR=... -DWIDGETS_INCLUDE_DIR=... -DCORE_SOURCES=file
#         -DUI_SOURCES=file -P this
# CORE_SOURCES lists the sources of the widget-free libraries, UI_SOURCES those of the window
# library, one path a line. Fails, naming every offending line, when
#  - a fuzz target includes a header from app/;
#  - a widget-free source includes a widget header (QtWidgets, QScintilla, a designer form) or a
#    window header from a ui/ folder;
#  - a widget-free source lies in a ui/ folder, or a window source outside one;
#  - an include climbs the ranks below: a folder's sources include headers of their own folder
#    and of folders of a lower rank only, and of a ui/ folder only from a ui/ folder. Folders of
#    one rank do not include each other.
cmake_minimum_required(VERSION 3.16)

set(problems "")

function(includes_of file out)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
    set(${out} "${lines}" PARENT_SCOPE)
endfunction()

# The ranks, lowest first. Tests, benchmarks and fuzz targets drive the whole program and may
# include anything but app/.
set(ranks
    "common"
    "project"
    "api"
    "toolchain editor device"
    "screentools simulator"
    "runner"
    "app")
set(rank 0)
foreach(entry IN LISTS ranks)
    string(REPLACE " " ";" folders "${entry}")
    foreach(folder IN LISTS folders)
        set(rank_${folder} ${rank})
        list(APPEND ranked_folders ${folder})
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()
list(JOIN ranked_folders "|" folder_pattern)

# Includes that still climb, each to be removed by the change that mends it.
set(known_climbs)

set(product "")
foreach(folder IN LISTS ranked_folders ITEMS fuzz)
    file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND product ${found})
endforeach()
foreach(rel IN LISTS product)
    includes_of("${SOURCE_DIR}/${rel}" lines)
    string(REGEX MATCH "^[^/]+" from_folder "${rel}")
    set(from_ui FALSE)
    if(rel MATCHES "^[^/]+/ui/")
        set(from_ui TRUE)
    endif()
    foreach(line IN LISTS lines)
        if(from_folder STREQUAL "fuzz")
            if(line MATCHES "[<\"]app/")
                string(APPEND problems "${rel}: includes a header of app/: ${line}\n")
            endif()
            continue()
        endif()
        string(REGEX REPLACE "^[^<\"]*[<\"]([^>\"]*)[>\"].*$" "\\1" header "${line}")
        if(NOT header MATCHES "^(${folder_pattern})/")
            continue()
        endif()
        string(REGEX MATCH "^[^/]+" to_folder "${header}")
        set(climbs FALSE)
        # app/ is the top: its main starts the windows.
        if(header MATCHES "^[^/]+/ui/" AND NOT from_ui AND NOT from_folder STREQUAL "app")
            set(climbs TRUE)
        elseif(NOT to_folder STREQUAL from_folder AND NOT rank_${to_folder} LESS rank_${from_folder})
            set(climbs TRUE)
        endif()
        if(climbs AND NOT "${rel} -> ${header}" IN_LIST known_climbs)
            string(APPEND problems "${rel}: includes ${header}, which does not rank below it\n")
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
