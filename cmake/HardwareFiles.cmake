# The description and diagnosis files of hardware/, copied to <build>/share/datamodel/hardware
# (where the default host of the build tree finds them, as it finds the standard libraries)
# and installed to <prefix>/share/datamodel/hardware. The copy is made afresh whenever a file
# changes or the set of files does (the count is part of the command), so that a file removed
# from the sources does not live on in the build tree.
file(GLOB_RECURSE datamodel_hardware_files CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/hardware/*.djson ${PROJECT_SOURCE_DIR}/hardware/*.md)
list(LENGTH datamodel_hardware_files datamodel_hardware_count)
set(DATAMODEL_HARDWARE_DIR ${CMAKE_BINARY_DIR}/share/datamodel/hardware)
set(datamodel_hardware_stamp ${CMAKE_BINARY_DIR}/share/datamodel/hardware.stamp)
add_custom_command(OUTPUT ${datamodel_hardware_stamp}
    COMMAND ${CMAKE_COMMAND} -E remove_directory ${DATAMODEL_HARDWARE_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/hardware ${DATAMODEL_HARDWARE_DIR}
    COMMAND ${CMAKE_COMMAND} -E echo "${datamodel_hardware_count} hardware description files"
    COMMAND ${CMAKE_COMMAND} -E touch ${datamodel_hardware_stamp}
    DEPENDS ${datamodel_hardware_files}
    COMMENT "Copying the hardware description files"
    VERBATIM)
add_custom_target(hardware_files ALL DEPENDS ${datamodel_hardware_stamp})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/hardware/ DESTINATION ${CMAKE_INSTALL_DATADIR}/datamodel/hardware
    FILES_MATCHING PATTERN "*.djson" PATTERN "*.md")
