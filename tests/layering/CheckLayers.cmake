# Checks that includes point one way.
#
#   cmake -DSOURCE_DIR=<folder holding sqlitex/, accore/, host/, datamodel/> -P CheckLayers.cmake
#
# Inside datamodel/ every folder is a layer; a file may include its own folder and the folders
# below it, never one above. The lower libraries (sqlitex, accore, host) never include the data
# model. A folder of datamodel/ that has no place in the order fails the check too, so that a
# new folder is placed before it is used. Every offending include is listed; the script fails
# when there is one.

cmake_minimum_required(VERSION 3.18)

# The layer order, lowest first. Written here once; the build and the README follow it.
set(LAYERS model undo device program compiler memory motion auxiliary project exchange)
# Folders of datamodel/ that hold no C++ sources.
set(NOT_LAYERS resources)
set(LOWER_LIBRARIES sqlitex accore host)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}/datamodel")
    message(FATAL_ERROR "SOURCE_DIR must name the src folder (with datamodel/ in it): '${SOURCE_DIR}'")
endif()

set(violations "")
set(checked 0)

# The datamodel folder that an include names, or "" when it names none.
function(included_folder line out)
    set(folder "")
    if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*[\"<]datamodel/([A-Za-z0-9_]+)/")
        set(folder "${CMAKE_MATCH_1}")
    endif()
    set(${out} "${folder}" PARENT_SCOPE)
endfunction()

function(read_includes file out)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include")
    set(${out} "${lines}" PARENT_SCOPE)
endfunction()

file(GLOB folders LIST_DIRECTORIES true RELATIVE "${SOURCE_DIR}/datamodel" "${SOURCE_DIR}/datamodel/*")
foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY "${SOURCE_DIR}/datamodel/${folder}" OR folder IN_LIST NOT_LAYERS)
        continue()
    endif()
    list(FIND LAYERS "${folder}" own)
    if(own EQUAL -1)
        list(APPEND violations "datamodel/${folder}/ has no place in the layer order (${LAYERS})")
        continue()
    endif()
    file(GLOB_RECURSE sources "${SOURCE_DIR}/datamodel/${folder}/*.h" "${SOURCE_DIR}/datamodel/${folder}/*.cpp")
    foreach(source IN LISTS sources)
        math(EXPR checked "${checked} + 1")
        file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
        read_includes("${source}" includes)
        foreach(line IN LISTS includes)
            included_folder("${line}" target)
            if(target STREQUAL "")
                continue()
            endif()
            list(FIND LAYERS "${target}" rank)
            if(rank EQUAL -1)
                list(APPEND violations "${name}: includes datamodel/${target}/, which has no place in the layer order")
            elseif(rank GREATER own)
                list(APPEND violations "${name}: ${folder}/ includes ${target}/, a layer above it")
            endif()
        endforeach()
    endforeach()
endforeach()

foreach(library IN LISTS LOWER_LIBRARIES)
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${library}/*.h" "${SOURCE_DIR}/${library}/*.cpp")
    foreach(source IN LISTS sources)
        math(EXPR checked "${checked} + 1")
        file(RELATIVE_PATH name "${SOURCE_DIR}" "${source}")
        read_includes("${source}" includes)
        foreach(line IN LISTS includes)
            if(line MATCHES "[\"<]datamodel/")
                list(APPEND violations "${name}: ${library} includes the data model (${line})")
            endif()
        endforeach()
    endforeach()
endforeach()

if(checked EQUAL 0)
    message(FATAL_ERROR "no source file found below ${SOURCE_DIR}")
endif()
if(violations)
    list(LENGTH violations count)
    string(REPLACE ";" "\n  " listed "${violations}")
    message(FATAL_ERROR "${count} include(s) against the layer order:\n  ${listed}")
endif()
message(STATUS "layers: ${checked} files, every include points down")
