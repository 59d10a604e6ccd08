# Writes a C++ source holding files the programs serve or inline (the
# charting library, scripts, style sheets) as byte arrays.
# Variables: OUTPUT (the .cpp to write), FILES (list of paths; each is found
# by its file name).
set(arrays "")
set(entries "")
set(i 0)
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char asset${i}[] = {${bytes}0};\n")
  string(APPEND entries "      {\"${name}\", std::string_view(reinterpret_cast<const char*>(asset${i}), ${size})},\n")
  math(EXPR i "${i} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated at build time from the files it names; edit those.\n#include \"sim/assets.h\"\n\n#include <map>\n\nnamespace sim {\n\nnamespace {\n${arrays}}  // namespace\n\nstd::optional<std::string_view> asset(std::string_view name) {\n  static const std::map<std::string_view, std::string_view> list = {\n${entries}  };\n  const auto it = list.find(name);\n  if (it == list.end()) return std::nullopt;\n  return it->second;\n}\n\n}  // namespace sim\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
