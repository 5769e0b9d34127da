# Checks that a built workbook library exports exactly the names of its
# export list.  Run with:
#   cmake -DLIB=<library> -DLIST=<tabx_exports.txt> -DTOOL=<nm|objdump>
#         -DMODE=<nm|objdump> -P check_exports.cmake
# nm (ELF shared object): the defined dynamic symbols.  objdump -p (DLL): the
# names of the export table.
file(STRINGS "${LIST}" expected)
list(SORT expected)
if(MODE STREQUAL "nm")
  execute_process(COMMAND "${TOOL}" -D --defined-only "${LIB}"
                  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  string(REGEX MATCHALL "[0-9a-fA-F]+ [A-Za-z] [^\n]+" lines "${out}")
  set(actual)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-fA-F]+ ([A-Za-z]) ([^@ ]+).*$" "\\1;\\2" parts "${line}")
    list(GET parts 0 kind)
    list(GET parts 1 name)
    # Version nodes of the script are absolute symbols, not exports.
    if(NOT kind STREQUAL "A")
      list(APPEND actual "${name}")
    endif()
  endforeach()
else()
  execute_process(COMMAND "${TOOL}" -p "${LIB}" OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  # The table runs from its heading to the first empty line.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n([^\n]+\n)*" table "${out}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_]*" lines "${table}")
  set(actual)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND actual "${name}")
  endforeach()
endif()
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed on ${LIB}: ${rc}")
endif()
list(SORT actual)
list(REMOVE_DUPLICATES actual)
if(NOT actual STREQUAL expected)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${actual})
  set(extra ${actual})
  list(REMOVE_ITEM extra ${expected})
  message(FATAL_ERROR "exported names differ\n  missing: ${missing}\n  extra: ${extra}")
endif()
list(LENGTH actual n)
message(STATUS "${n} exported names as listed")
