# The numbered string table: the files named are embedded, in that order, into a generated
# source of the target, which the core parses on first use. Duplicate or malformed IDs stop the
# build.
function(vext_add_string_table target)
    set(string_files ${ARGN})
    set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/StringTableData.cpp)
    add_custom_command(
        OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DOUT=${out} "-DFILES=${string_files}"
                -P ${PROJECT_SOURCE_DIR}/cmake/GenStringTable.cmake
        DEPENDS ${string_files} ${PROJECT_SOURCE_DIR}/cmake/GenStringTable.cmake
        COMMENT "Embedding the string table"
        VERBATIM)
    target_sources(${target} PRIVATE ${out})
endfunction()
