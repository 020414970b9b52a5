# Can this machine start a 32-bit program? Asks Wine's own 32-bit loader for its version,
# which starts a 32-bit process and nothing else, and keeps the answer in RESULT_FILE for
# the Wine tests of this test run (run_wine.cmake and zone_check.py read it):
#   "yes"
#   "no: <reason>"   the machine cannot; every Wine test then reports itself skipped
#
#   -DRESULT_FILE=FILE   where the answer goes (in the build tree)
#
# Some kernels and hypervisors give no 32-bit mode at all: starting the loader then fails
# with "Exec format error". A loader that is missing is a missing package instead, which
# fails the test run when CI=true, as a missing Wine does.
#
# QV_WINE32_LOADER in the environment names another loader, so that the other answer can
# be tried on a machine that runs 32-bit programs (a program for another processor will do).
cmake_minimum_required(VERSION 3.25)

set(loader "$ENV{QV_WINE32_LOADER}")
if(loader STREQUAL "")
  # Debian keeps the 32-bit loader beside the 64-bit one; elsewhere `wine` is the loader.
  find_program(wine32_loader NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(NOT wine32_loader)
    find_program(wine32_loader NAMES wine)
  endif()
  set(loader "${wine32_loader}")
endif()

if(NOT loader OR NOT EXISTS "${loader}")
  set(answer "no: Wine's 32-bit loader is not installed")
  if("$ENV{CI}" STREQUAL "true")
    file(WRITE ${RESULT_FILE} "${answer}\n")
    message(FATAL_ERROR "${answer} (wine32 is a package the tests need; CI=true)")
  endif()
else()
  # Started by the shell's exec, as the `wine` script starts it: a program the kernel cannot
  # load then fails with "Exec format error", where execvp would hand it to /bin/sh instead.
  execute_process(COMMAND sh -c "exec \"$0\" --version" ${loader} RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 20)
  if(status STREQUAL "0")
    set(answer "yes")
  elseif(errors MATCHES "[Ee]xec format error|cannot execute binary file")
    set(answer "no: this machine cannot run 32-bit programs (${loader}: Exec format error)")
  else()
    # Starting it failed otherwise: a broken install, not the machine's nature.
    file(WRITE ${RESULT_FILE} "no: ${loader} --version failed (${status})\n")
    message(FATAL_ERROR "${loader} --version failed (${status}):\n${output}${errors}")
  endif()
endif()

file(WRITE ${RESULT_FILE} "${answer}\n")
if(answer STREQUAL "yes")
  message(STATUS "32-bit programs run here: ${loader} ${output}")
else()
  message(STATUS "${answer}; the Wine tests will report themselves skipped")
endif()
