# Writes OUTPUT: the page PAGE with the module's JavaScript (MODULE) in place
# of the placeholder comment /*vantrel-module*/ (or <!-- vantrel-module -->)
# inside its script element. "</script" in the module is written "<\/script"
# so that the script element is not ended early.
file(READ "${PAGE}" page)
file(READ "${MODULE}" module)
string(REPLACE "</script" "<\\/script" module "${module}")
set(found FALSE)
foreach(placeholder "/*vantrel-module*/" "<!-- vantrel-module -->")
  string(FIND "${page}" "${placeholder}" at)
  if(NOT at EQUAL -1 AND NOT found)
    string(REPLACE "${placeholder}" "${module}" page "${page}")
    set(found TRUE)
  endif()
endforeach()
if(NOT found)
  message(FATAL_ERROR "${PAGE}: no placeholder /*vantrel-module*/ for the module")
endif()
file(WRITE "${OUTPUT}" "${page}")
