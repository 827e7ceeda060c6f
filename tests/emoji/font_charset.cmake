# Checks with fontconfig that the pictograph font beside the program is read
# as a scalable TrueType face and covers exactly the pictographs' private-use
# characters.  Usage: cmake -DFC_QUERY=... -DFONT=... -P font_charset.cmake
execute_process(
  COMMAND ${FC_QUERY} --format "%{family}|%{fontformat}|%{scalable}|%{charset}" ${FONT}
  OUTPUT_VARIABLE got
  RESULT_VARIABLE rc)
set(want "Tegamiya Pictographs|TrueType|True|e63e-e6a5 e6ac-e6ae e6b1-e6b3 e6b7-e6ba e6ce-e757")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "fc-query cannot read ${FONT}")
endif()
if(NOT got STREQUAL want)
  message(FATAL_ERROR "fc-query ${FONT}:\n  got:  ${got}\n  want: ${want}")
endif()
message(STATUS "${got}")
