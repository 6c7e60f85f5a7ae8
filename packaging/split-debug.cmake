# Copies the debug symbols of one installed program to DIR/.build-id/xx/rest.debug, where gdb
# looks them up by build ID, then strips the program as Debian's packages are stripped: symbols,
# debug sections and the compiler's .comment and .note sections.
# cmake -DPROGRAM=path -DDIR=folder -DOBJCOPY=objcopy -DREADELF=readelf -DSTRIP=strip
#       -P split-debug.cmake
execute_process(COMMAND ${READELF} -n ${PROGRAM} OUTPUT_VARIABLE notes COMMAND_ERROR_IS_FATAL ANY)
if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
  message(FATAL_ERROR "${PROGRAM} has no build ID")
endif()
set(out ${DIR}/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
get_filename_component(folder ${out} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(COMMAND ${OBJCOPY} --only-keep-debug --compress-debug-sections ${PROGRAM} ${out}
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${STRIP} --remove-section=.comment --remove-section=.note ${PROGRAM}
  COMMAND_ERROR_IS_FATAL ANY)
message(STATUS "Debug symbols: ${out}")
