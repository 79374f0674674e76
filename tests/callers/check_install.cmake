# Installs the build into a fresh prefix outside the build tree, checks the
# installed files, then builds the C caller against the installed header and
# library and runs it from a folder of its own: the installed library must
# find its direction numbers in the installed data folder.
#
# Variables: BUILD_DIR, CALLER_SOURCE, C_COMPILER, C_FLAGS (a list), LIBDIR,
# INCLUDEDIR, DATADIR, DOCDIR, BINDIR (as the build's GNU install dirs),
# WITH_PROGRAM (ON when the desktop program is built).

if(DEFINED ENV{TMPDIR} AND IS_DIRECTORY "$ENV{TMPDIR}")
  set(base "$ENV{TMPDIR}")
else()
  set(base "/tmp")
endif()
string(RANDOM LENGTH 10 tag)
set(work "${base}/tarvic-install-${tag}")
set(prefix "${work}/prefix")
set(elsewhere "${work}/caller")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${elsewhere}")

function(finish code message)
  file(REMOVE_RECURSE "${work}")
  if(code)
    message(FATAL_ERROR "${message}")
  endif()
  message(STATUS "${message}")
endfunction()

execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  finish(1 "cmake --install failed: ${out}${err}")
endif()

set(expected
    "${LIBDIR}/libtarvic.so"
    "${INCLUDEDIR}/tarvic/tarvic.h"
    "${INCLUDEDIR}/tarvic/counted_string.h"
    "${DATADIR}/tarvic/new-joe-kuo-6.21201"
    "${DOCDIR}/new-joe-kuo-6.21201.LICENSE")
if(WITH_PROGRAM)
  list(APPEND expected "${BINDIR}/tarvic" "${DOCDIR}/Readme.txt")
endif()
foreach(file IN LISTS expected)
  if(NOT EXISTS "${prefix}/${file}")
    finish(1 "not installed: ${file}")
  endif()
endforeach()

execute_process(COMMAND "${C_COMPILER}" ${C_FLAGS} "-I${prefix}/${INCLUDEDIR}" "${CALLER_SOURCE}"
                        "-L${prefix}/${LIBDIR}" -ltarvic "-Wl,-rpath,${prefix}/${LIBDIR}" -lm
                        -o "${elsewhere}/sobol_caller"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  finish(1 "building the caller against the installed library failed: ${out}${err}")
endif()

execute_process(COMMAND "${elsewhere}/sobol_caller" WORKING_DIRECTORY "${elsewhere}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  finish(1 "the caller failed (${result}): ${out}${err}")
endif()
finish(0 "${out}")
