# cmake -DSOURCE=... -DWORK=... -DTOOLCHAIN=... -P reproducible.cmake
# Builds the program file twice from clean folders and checks that both
# builds give the same bytes.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
foreach(n 1 2)
  set(dir ${WORK}/build${n})
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${dir} -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DBUILD_TESTING=OFF
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${dir} --target veldrano-dice
                    OUTPUT_QUIET RESULT_VARIABLE failed)
  endif()
  if(failed)
    message(FATAL_ERROR "build ${n} failed")
  endif()
  file(SHA256 ${dir}/bin/veldrano-dice.exe hash${n})
endforeach()
file(REMOVE_RECURSE ${WORK})
if(NOT hash1 STREQUAL hash2)
  message(FATAL_ERROR "two clean builds differ: ${hash1} and ${hash2}")
endif()
message(STATUS "two clean builds are identical: ${hash1}")
