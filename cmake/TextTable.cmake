# Turns the text table (resources/texts.tsv) into a C++ source that holds the
# file's bytes, so the programs carry their texts without a file beside them.
# overlay (may be empty): a second table whose rows replace those of the same
# offsets.
function(orvex_text_table input output overlay)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOVERLAY=${overlay} -DOUTPUT=${output}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedTextTable.cmake
    DEPENDS ${input} ${overlay} ${CMAKE_SOURCE_DIR}/cmake/EmbedTextTable.cmake
    COMMENT "Embedding the text table")
endfunction()
