# cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DSYMBOL=<name> -P EmbedText.cmake
# Writes a source file that holds the input file's text as quorvane::web::<SYMBOL>, a std::string_view:
# the program serves it without a file beside it in any layout.
file(READ "${INPUT}" text)
set(delimiter "embedded_text")
string(FIND "${text}" ")${delimiter}\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's end marker )${delimiter}\"")
endif()
file(WRITE "${OUTPUT}.new" "// Made by cmake/EmbedText.cmake from ${INPUT}; not to be edited.\n#include <string_view>\n\nnamespace quorvane::web {\nextern const std::string_view ${SYMBOL};\nconst std::string_view ${SYMBOL} = R\"${delimiter}(${text})${delimiter}\";\n}  // namespace quorvane::web\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
