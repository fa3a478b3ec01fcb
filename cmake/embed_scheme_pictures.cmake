# Turns the fall-back scheme pictures (res/schemes/*.png) into a C++ source
# holding their bytes, so that the program draws its bars even when no scheme
# folder has the picture. Called with -DOUT=<file.cpp> -DDIR=<res/schemes>.
file(GLOB pictures "${DIR}/*.png")
list(SORT pictures)
set(arrays "")
set(table "")
set(index 0)
foreach(picture IN LISTS pictures)
  get_filename_component(name "${picture}" NAME_WE)
  file(READ "${picture}" hex HEX)
  string(LENGTH "${hex}" hexLength)
  math(EXPR size "${hexLength} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "const unsigned char kPicture${index}[] = {${bytes}};\n")
  string(APPEND table "    {\"${name}\", kPicture${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()
file(WRITE "${OUT}.tmp"
"// Generated from res/schemes at build time. Do not edit.\n"
"#include <cstring>\n"
"#include \"ui/windows/built_in_pictures.h\"\n"
"namespace vyr::detail {\n"
"namespace {\n"
"${arrays}"
"const BuiltInPicture kPictures[] = {\n${table}};\n"
"}  // namespace\n"
"const BuiltInPicture* FindBuiltInSchemePicture(const char* name) {\n"
"  for (const BuiltInPicture& p : kPictures) {\n"
"    if (std::strcmp(p.name, name) == 0) return &p;\n"
"  }\n"
"  return nullptr;\n"
"}\n"
"}  // namespace vyr::detail\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
