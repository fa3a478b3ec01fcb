# Turns the string tables (res/strings/*.txt) into a C++ source holding their
# text, so that the program needs no resource files at run time.
file(READ "${EN}" en_text)
file(READ "${DE}" de_text)
file(WRITE "${OUT}.tmp"
"// Generated from res/strings at build time. Do not edit.\n"
"namespace vyr::platform::detail {\n"
"extern const char* const kStringTableEnglish;\n"
"extern const char* const kStringTableGerman;\n"
"const char* const kStringTableEnglish = R\"VYRSTRINGS(${en_text})VYRSTRINGS\";\n"
"const char* const kStringTableGerman = R\"VYRSTRINGS(${de_text})VYRSTRINGS\";\n"
"}\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
