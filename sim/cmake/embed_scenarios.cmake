# Writes a C++ source holding the built-in scenarios' JSON texts.
# Variables: OUTPUT (the .cpp to write), FILES (list of .json paths).
set(body "")
foreach(file IN LISTS FILES)
  get_filename_component(name "${file}" NAME_WE)
  file(READ "${file}" text)
  string(APPEND body "    {\"${name}\", R\"KPSCENARIO(${text})KPSCENARIO\"},\n")
endforeach()
file(WRITE "${OUTPUT}.tmp" "// Generated from sim/scenarios/*.json at build time; edit those files.\n#include \"sim/scenario.h\"\n\nnamespace sim {\n\nconst std::vector<BuiltinScenario>& builtin_scenarios() {\n  static const std::vector<BuiltinScenario> list = {\n${body}  };\n  return list;\n}\n\n}  // namespace sim\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
