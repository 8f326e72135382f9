# The synthetic project generator (plcproj generate, bench_program). Included once from
# wherever it is needed first.
if(TARGET projectgen)
    return()
endif()
add_library(projectgen STATIC ${CMAKE_CURRENT_LIST_DIR}/Generator.cpp)
add_library(datamodel::projectgen ALIAS projectgen)
target_include_directories(projectgen PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/tools>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_link_libraries(projectgen PUBLIC datamodel)
install(TARGETS projectgen EXPORT datamodelTargets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/Generator.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/plcproj)
