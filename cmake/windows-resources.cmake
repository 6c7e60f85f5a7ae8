# The version resource and the program icon of a Windows executable, made at build time: the
# icon from the window's own icon picture in resources/, the version from the project's.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
enable_language(RC)

set(KVX_ICO ${CMAKE_BINARY_DIR}/kvxmon.ico)
add_custom_command(OUTPUT ${KVX_ICO}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/scripts/xpm-to-ico.py
          ${CMAKE_SOURCE_DIR}/resources/kvxmon_icon.xpm ${KVX_ICO}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/xpm-to-ico.py ${CMAKE_SOURCE_DIR}/resources/kvxmon_icon.xpm
  COMMENT "Windows icon from the window icon")

function(kvx_windows_resources target description file_name)
  set(KVX_RC_DESCRIPTION ${description})
  set(KVX_RC_FILE_NAME ${file_name})
  set(KVX_RC_INTERNAL_NAME ${target})
  set(KVX_RC_ICON ${KVX_ICO})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${KVX_ICO})
  target_sources(${target} PRIVATE ${rc})
endfunction()
