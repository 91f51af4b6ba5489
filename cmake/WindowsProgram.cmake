# What both Windows programs need around their executable.

# windows_program_resources(TARGET RC_FILE MANIFEST_IN ICON): the program's resource script with its
# icon, its manifest and its version resource, the manifest made for the build's processor architecture
# (MANIFEST_ARCH) in the target's build folder, where the resource compiler finds it.
function(windows_program_resources target rc manifest_in icon)
  get_filename_component(manifest ${manifest_in} NAME_WLE)
  configure_file(${manifest_in} ${CMAKE_CURRENT_BINARY_DIR}/${manifest} @ONLY)
  windows_version_resource(${target} ${rc} ${icon} ${CMAKE_CURRENT_BINARY_DIR}/${manifest})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# windows_version_resource(TARGET RC_FILE [FILES...]): a resource script that includes the programs'
# version header (common/ProgramVersion.h); its output depends on that header and on the FILES it names.
function(windows_version_resource target rc)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${PROGRAM_VERSION_HEADER};${ARGN}")
endfunction()

# windows_program_split_debug(TARGET): the program as it ships, stripped of its symbols and debug
# information, which go to TARGET_FILE.debug beside it (for a crash's addresses; a debugger finds it
# through the link the program keeps to it).
function(windows_program_split_debug target)
  add_custom_command(TARGET ${target} POST_BUILD
                     COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> $<TARGET_FILE:${target}>.debug
                     COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE:${target}>.debug
                             $<TARGET_FILE:${target}>
                     VERBATIM)
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
