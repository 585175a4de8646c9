# cmake -DSOURCE=... -DEXE=... -DWORK=... -P release.cmake
# Runs scripts/release signed with a throwaway self-signed certificate: the
# signature must verify against that certificate, cover the program file as
# built, and fail once one byte of the signed file changes.  Then twice
# unsigned, which leaves an unsigned zip behind: both zips must be the same
# bytes, their checksum file must match, and the zip must hold exactly the
# program file as built here, LICENSE.txt and README.txt.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(SHA256 ${EXE} built)

# run_release(VAR [ENV...]): scripts/release with the environment given;
# VAR gets the zip's path, which its last line must be, and VAR_says what
# it printed besides.
function(run_release var)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env ${ARGN} bash ${SOURCE}/scripts/release
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "scripts/release failed:\n${output}${errors}")
  endif()
  string(REGEX MATCH "[^\n]+\n?$" zip "${output}")
  string(STRIP "${zip}" zip)
  if(NOT zip MATCHES "/veldrano-dice-[0-9.]+-win32\\.zip$" OR NOT EXISTS ${zip})
    message(FATAL_ERROR "the last line is not the zip's path: ${zip}")
  endif()
  set(${var} ${zip} PARENT_SCOPE)
  set(${var}_says "${errors}" PARENT_SCOPE)
endfunction()

# verify(FILE VAR): VAR is true when osslsigncode finds FILE's signature
# valid against the throwaway certificate; VAR_says is its report.
function(verify file var)
  execute_process(COMMAND osslsigncode verify -CAfile ${WORK}/cert.pem -in ${file}
                  OUTPUT_VARIABLE report ERROR_VARIABLE report RESULT_VARIABLE failed)
  if(NOT failed AND report MATCHES "Signature verification: ok")
    set(${var} TRUE PARENT_SCOPE)
  else()
    set(${var} FALSE PARENT_SCOPE)
  endif()
  set(${var}_says "${report}" PARENT_SCOPE)
endfunction()

# Signed, with a certificate made for this run alone.
file(MAKE_DIRECTORY ${WORK})
execute_process(
  COMMAND openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VELDRANO Dice test signer"
          -addext extendedKeyUsage=codeSigning -keyout ${WORK}/key.pem -out ${WORK}/cert.pem
  OUTPUT_QUIET ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND openssl pkcs12 -export -inkey ${WORK}/key.pem -in ${WORK}/cert.pem -out ${WORK}/signer.p12
          -passout pass:throwaway
  COMMAND_ERROR_IS_FATAL ANY)
run_release(zip DICE_SIGN_PKCS12=${WORK}/signer.p12 DICE_SIGN_PASSWORD=throwaway)
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${WORK}/signed)
set(signed ${WORK}/signed/veldrano-dice.exe)
verify(${signed} valid)
if(NOT valid)
  message(FATAL_ERROR "the signed program file does not verify against its certificate:\n${valid_says}")
endif()
# The signature covers the file as built: without it, the same bytes.
execute_process(COMMAND osslsigncode remove-signature -in ${signed} -out ${WORK}/unsigned.exe
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(SHA256 ${WORK}/unsigned.exe unsigned)
if(NOT unsigned STREQUAL built)
  message(FATAL_ERROR "the signed program file is not ${EXE} with a signature added")
endif()
# One byte of the code changed after signing: the signature must fail.
execute_process(COMMAND bash -c [[b=$(od -An -tu1 -j1100 -N1 "$1") &&
  printf "\\$(printf %03o $((b ^ 1)))" | dd of="$1" bs=1 seek=1100 conv=notrunc status=none]] - ${signed}
  COMMAND_ERROR_IS_FATAL ANY)
verify(${signed} valid)
if(valid)
  message(FATAL_ERROR "a signed file changed by one byte still verifies:\n${valid_says}")
endif()
message(STATUS "signed: verifies against its certificate, covers the file as built, fails once changed")
file(REMOVE_RECURSE ${WORK})

foreach(n 1 2)
  run_release(zip --unset=DICE_SIGN_PKCS12)
  file(SHA256 ${zip} hash${n})
endforeach()
if(NOT zip_says MATCHES "release: the zip is unsigned")
  message(FATAL_ERROR "an unsigned release does not say so:\n${zip_says}")
endif()
if(NOT hash1 STREQUAL hash2)
  message(FATAL_ERROR "two releases of the same commit differ: ${hash1} and ${hash2}")
endif()

get_filename_component(name ${zip} NAME)
file(READ ${zip}.sha256 sums)
if(NOT sums STREQUAL "${hash1}  ${name}\n")
  message(FATAL_ERROR "${zip}.sha256 does not match the zip: ${sums}")
endif()

file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${WORK})
file(GLOB unpacked RELATIVE ${WORK} ${WORK}/*)
list(SORT unpacked)
if(NOT unpacked STREQUAL "LICENSE.txt;README.txt;veldrano-dice.exe")
  message(FATAL_ERROR "the zip holds ${unpacked}")
endif()
file(SHA256 ${WORK}/veldrano-dice.exe shipped)
if(NOT shipped STREQUAL built)
  message(FATAL_ERROR "the zip's program file differs from ${EXE}")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "${name}: the same bytes twice, checksum matches, holds ${unpacked}")
