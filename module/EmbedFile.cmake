# cmake -DINPUT=<file> -DOUTPUT=<source> -P EmbedFile.cmake: writes a C++ source defining
# MovitrelTypeLibBytes() over the file's bytes; without INPUT, one that returns null.
if(NOT DEFINED INPUT OR INPUT STREQUAL "")
  file(WRITE ${OUTPUT} "// Generated: this build carries no type library.\n#include \"module/Resources.h\"\n\nconst std::vector<uint8_t>* MovitrelTypeLibBytes() { return nullptr; }\n")
  return()
endif()
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}: the compiled type library.\n#include \"module/Resources.h\"\n\nnamespace {\nconst uint8_t kBytes[] = {\n${bytes}\n};\n}  // namespace\n\nconst std::vector<uint8_t>* MovitrelTypeLibBytes() {\n    static const std::vector<uint8_t> bytes(kBytes, kBytes + sizeof kBytes);\n    return &bytes;\n}\n")
