# Writes a C++ source whose function returns a file's bytes: the rules page
# built into devidudi-script, so that `explain` prints what the page says.
# cmake -DINPUT=page.md -DOUTPUT=page.cpp -DFUNCTION=Name -P embed_text.cmake
file(READ "${INPUT}" bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
# A line break every 32 bytes keeps the source readable by compilers and diff.
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Made from ${INPUT_NAME} at build time; not edited by hand.\n"
  "#include <string_view>\n"
  "namespace {\n"
  "const unsigned char kBytes[] = {\n${bytes}\n0};\n"
  "}  // namespace\n"
  "std::string_view ${FUNCTION}() {\n"
  "  return {reinterpret_cast<const char*>(kBytes), sizeof kBytes - 1};\n"
  "}\n")
# Unchanged bytes keep their time, so that nothing is compiled again.
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
