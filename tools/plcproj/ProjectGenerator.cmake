# The synthetic project generator (plcproj generate, bench_program). Included once from
# wherever it is needed first.
if(TARGET projectgen)
    return()
endif()
add_library(projectgen STATIC ${CMAKE_CURRENT_LIST_DIR}/Generator.cpp)
target_include_directories(projectgen PUBLIC ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(projectgen PUBLIC datamodel)
