# What both Windows programs need around their executable.

# windows_program_resources(TARGET RC_FILE MANIFEST_IN ICON): the program's resource script with its
# icon and its manifest, the manifest made for the build's processor architecture (MANIFEST_ARCH) in the
# target's build folder, where the resource compiler finds it.
function(windows_program_resources target rc manifest_in icon)
  get_filename_component(manifest ${manifest_in} NAME_WLE)
  configure_file(${manifest_in} ${CMAKE_CURRENT_BINARY_DIR}/${manifest} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
  # The resource compiler's output depends on the files the script names.
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${icon};${CMAKE_CURRENT_BINARY_DIR}/${manifest}")
endfunction()

# ship_beside(TARGET FOLDER OUT_VAR): the files of FOLDER (language lists, language files, documents)
# copied next to the executable whenever one of them changes; OUT_VAR receives their source paths.
function(ship_beside target folder out_var)
  file(GLOB files CONFIGURE_DEPENDS ${folder}/*)
  set(copies)
  foreach(source ${files})
    get_filename_component(name ${source} NAME)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(OUTPUT ${copy} COMMAND ${CMAKE_COMMAND} -E copy_if_different ${source} ${copy}
                       DEPENDS ${source} VERBATIM)
    list(APPEND copies ${copy})
  endforeach()
  add_custom_target(${target}_dist ALL DEPENDS ${copies})
  add_dependencies(${target} ${target}_dist)
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()
