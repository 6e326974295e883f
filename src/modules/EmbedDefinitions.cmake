# Writes OUTPUT, the entries of the table of library definitions built into the
# executable: one {"NAME", R"(text)"} per file NAME.def of DEFS (the folder lib/), in
# name order, so that the compiler reads the same text the files hold.
file(GLOB files "${DEFS}/*.def")
list(SORT files)
set(text "// Made by EmbedDefinitions.cmake from the files of lib/; do not edit.\n")
foreach(path ${files})
  get_filename_component(name ${path} NAME_WE)
  file(READ ${path} body)
  string(APPEND text "{\"${name}\", R\"DEF(${body})DEF\"},\n")
endforeach()
file(WRITE "${OUTPUT}.new" "${text}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.new" "${OUTPUT}")
