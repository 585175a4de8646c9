# cmake -DOBJDUMP=... -DEXE=... -DMAGIC=PE32|PE32+ [-DFLOOR=floor.exe] -P check_exe.cmake
cmake_minimum_required(VERSION 3.25)
# Checks the program file's format and GUI subsystem (no console window),
# and its size: at most 24 KiB, and at most 1.15 times FLOOR, a bare window
# program built with the same flags and resources.  Its imports and hardening flags are
# checked by window_test, which also runs on a Windows host.
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "objdump could not read ${EXE}")
endif()

set(problems "")
if(NOT headers MATCHES "Magic[ \t]+[0-9a-f]+[ \t]+\\(${MAGIC}\\)")
  string(APPEND problems "not a ${MAGIC} file\n")
endif()
if(NOT headers MATCHES "Subsystem[ \t]+00000002")
  string(APPEND problems "not the Windows GUI subsystem\n")
endif()
file(SIZE ${EXE} size)
if(size GREATER 24576)
  string(APPEND problems "${size} bytes, more than 24 KiB\n")
endif()
if(DEFINED FLOOR)
  file(SIZE ${FLOOR} floor_size)
  math(EXPR limit "${floor_size} * 115 / 100")
  if(size GREATER limit)
    string(APPEND problems "${size} bytes, more than 1.15 times the floor's ${floor_size}\n")
  endif()
endif()

if(problems)
  message(FATAL_ERROR "${EXE}:\n${problems}")
endif()
message(STATUS "${EXE}: ${MAGIC}, GUI, ${size} bytes")
