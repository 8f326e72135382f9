# Small helpers shared by every folder of the build.

# datamodel_add_test(NAME SOURCES a.cpp [b.cpp] LIBS lib...)
# One test executable per test file, run by CTest with the offscreen platform so that
# no test can open a window.
function(datamodel_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 900)
    endif()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE testsupport ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;DATAMODEL_SOURCE_DIR=${PROJECT_SOURCE_DIR};DATAMODEL_BINARY_DIR=${PROJECT_BINARY_DIR};LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp")
endfunction()

# datamodel_install_headers(DIR) installs every public header of a source folder
# (private *_p.h headers stay behind) under include/<name of the folder>.
function(datamodel_install_headers dir name)
    install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${name}
            FILES_MATCHING PATTERN "*.h" PATTERN "*_p.h" EXCLUDE PATTERN "internal" EXCLUDE)
endfunction()
