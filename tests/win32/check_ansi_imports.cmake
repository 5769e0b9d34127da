# Fails when vergle.exe or tabx.dll imports the ANSI form of a call that
# carries a path or a text: every path and every text goes through the wide
# (UTF-16) calls, so that no character is lost to the ANSI code page.
#
# The ANSI forms are the system functions whose names end in "A" after a
# lower-case letter or digit (CreateFileA, MessageBoxA, lstrcmpiA, ...) and
# the C runtime's functions that take a path or a text in the ANSI code page.
# Allowed are only the calls of the C and C++ runtime linked into both files
# that carry no path and no text of ours:
#   CreateEventA, CreateSemaphoreA  unnamed objects (the threads library)
#   GetModuleHandleA                the fixed name "kernel32.dll" (its clock)
#   OutputDebugStringA              its own debugging lines
#   FormatMessageA                  the text of a system error code, for
#                                   std::system_error (never shown by Vergle)
#   GetStartupInfoA                 the show command at start-up (vergle.exe)
set(allowed CreateEventA CreateSemaphoreA GetModuleHandleA OutputDebugStringA FormatMessageA GetStartupInfoA)
set(runtime_ansi fopen freopen _open _sopen _sopen_s _stat _stat32 _stat64 _stati64 _access _access_s _mkdir
    _rmdir _unlink remove rename _chdir _getcwd _getdcwd getenv _putenv _putenv_s _dupenv_s _findfirst
    _findfirst32 _findfirst64 _findfirsti64 _fullpath _splitpath _makepath system _popen _spawnl _spawnlp
    _spawnv _spawnvp _execl _execlp _execv _execvp _tempnam tmpnam _mktemp _utime _utime64 _chmod _creat)
foreach(file ${FILES})
  execute_process(COMMAND ${OBJDUMP} -p ${file} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objdump failed on ${file}")
  endif()
  # The import table: "DLL Name: X" lines, then one line per imported name
  # ("vma  hint  name").
  string(FIND "${out}" "The Import Tables" start)
  string(SUBSTRING "${out}" ${start} -1 out)
  string(REPLACE "\n" ";" lines "${out}")
  set(dll "")
  set(count 0)
  set(bad "")
  foreach(line IN LISTS lines)
    if(line MATCHES "DLL Name: ([^ \t]+)")
      set(dll "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^[ \t]+[0-9a-fA-F]+[ \t]+[0-9]+[ \t]+([A-Za-z_][A-Za-z0-9_]*)$" AND dll)
      set(name "${CMAKE_MATCH_1}")
      math(EXPR count "${count} + 1")
      if(name MATCHES "[a-z0-9]A$")
        list(FIND allowed "${name}" found)
        if(found EQUAL -1)
          list(APPEND bad "${dll}:${name}")
        endif()
      endif()
      list(FIND runtime_ansi "${name}" found)
      if(NOT found EQUAL -1)
        list(APPEND bad "${dll}:${name}")
      endif()
    elseif(line MATCHES "^The Export Tables|^PE File Base Relocations")
      break()
    endif()
  endforeach()
  if(count LESS 20)
    message(FATAL_ERROR "${file}: only ${count} imported names read; objdump's format changed?")
  endif()
  if(bad)
    message(FATAL_ERROR "${file} imports ANSI calls: ${bad}")
  endif()
  message(STATUS "${file}: ${count} imported names, no ANSI call with a path or a text")
endforeach()
