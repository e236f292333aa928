# Writes the feature definitions FDL_FILES ("|"-separated) into OUTPUT as C++
# string literals, so the server serves exactly the files that are checked in.
string(REPLACE "|" ";" files "${FDL_FILES}")
list(SORT files COMPARE FILE_BASENAME)
set(body "")
foreach(file ${files})
  file(READ ${file} text)
  get_filename_component(name ${file} NAME)
  string(APPEND body "    {\"${name}\", R\"fdl(${text})fdl\"},\n")
endforeach()
file(WRITE ${OUTPUT}.new "// Generated from the served feature definitions; do not edit.\n#include \"sila/feature_texts.h\"\n\nconst std::vector<FeatureText>& FeatureTexts() {\n  static const std::vector<FeatureText> texts = {\n${body}  };\n  return texts;\n}\n")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
