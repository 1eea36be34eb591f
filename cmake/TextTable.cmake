# Turns the text table (resources/texts.tsv) into a C++ source that holds the
# file's bytes, so the programs carry their texts without a file beside them.
function(orvex_text_table input output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedTextTable.cmake
    DEPENDS ${input} ${CMAKE_SOURCE_DIR}/cmake/EmbedTextTable.cmake
    COMMENT "Embedding the text table")
endfunction()
