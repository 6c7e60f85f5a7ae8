# The version resource, the program icon and the manifest of a Windows executable, made at build
# time: the icon from the window's own icon picture in resources/, the version from the project's.
include_guard(GLOBAL)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
enable_language(RC)

set(KVX_ICO ${CMAKE_BINARY_DIR}/kvxmon.ico)
add_custom_command(OUTPUT ${KVX_ICO}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/xpm-to-ico.py
          ${CMAKE_SOURCE_DIR}/resources/kvxmon_icon.xpm ${KVX_ICO}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/xpm-to-ico.py ${CMAKE_SOURCE_DIR}/resources/kvxmon_icon.xpm
  COMMENT "Windows icon from the window icon")

# kvx_windows_resources(target description file_name [MANIFEST file]): the manifest, with the
# project version put in, becomes the program's RT_MANIFEST resource 1, which Windows reads when
# it starts the program.
function(kvx_windows_resources target description file_name)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "MANIFEST" "")
  set(KVX_RC_MANIFEST "")
  set(depends ${KVX_ICO})
  if(arg_MANIFEST)
    set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
    configure_file(${arg_MANIFEST} ${manifest} @ONLY)
    # 1 24: CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST.
    set(KVX_RC_MANIFEST "1 24 \"${manifest}\"")
    list(APPEND depends ${manifest})
  endif()
  set(KVX_RC_DESCRIPTION ${description})
  set(KVX_RC_FILE_NAME ${file_name})
  set(KVX_RC_INTERNAL_NAME ${target})
  set(KVX_RC_ICON ${KVX_ICO})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${depends}")
  target_sources(${target} PRIVATE ${rc})
endfunction()
