# The Windows release of both programs from one build folder (win32 or win64 by the pointer size):
#   - the installer (target `installer`, not part of ALL): <Name>-<version>-<platform>-setup.exe, made by
#     makensis from installer/Letrana.nsi.in;
#   - the portable zip (cpack): <Name>-<version>-<platform>.zip, the same files plus a SavePath.ini that
#     keeps the settings in a folder beside the programs, and that folder.
# Both ship letrana.exe, letrana-export.exe and snapora.exe (stripped, each with its version resource:
# cmake/WindowsProgram.cmake), the files of letrana/dist and snapora/dist (language lists, language
# files, licence and change log) and Letrana's help files. The help files come from the target
# `letrana_help` when the build has it (listed in LETRANA_HELP_FILES, made in ${CMAKE_BINARY_DIR}/help);
# the release is assembled once every folder of the build is read, so that the order in which the
# folders are added does not matter.
# Included from the root CMakeLists.txt after the CPack variables are set and before CPack itself.

# The folder beside the programs that the portable zip keeps the settings in.
set(RELEASE_PORTABLE_STORAGE Settings)
set(RELEASE_INSTALLER_NAME ${CPACK_PACKAGE_FILE_NAME}-setup.exe)

find_program(MAKENSIS makensis DOC "NSIS's compiler, for the installer (scripts/setup.sh installs nsis)")

# The help files the release ships: those the help target lists, else where it puts them.
function(release_help_files out_var)
  if(LETRANA_HELP_FILES)
    set(${out_var} ${LETRANA_HELP_FILES} PARENT_SCOPE)
  else()
    set(${out_var} ${CMAKE_BINARY_DIR}/help/Letrana_English.chm ${CMAKE_BINARY_DIR}/help/Letrana_Deutsch.chm
        PARENT_SCOPE)
  endif()
endfunction()

function(release_assemble)
  release_help_files(help_files)
  file(GLOB letrana_dist CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/letrana/dist/*)
  file(GLOB snapora_dist CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/snapora/dist/*)
  set(shipped ${letrana_dist} ${snapora_dist} ${help_files})

  # ---- The portable zip (CPack's install rules) ----
  set(storage_file ${CMAKE_BINARY_DIR}/release/SavePath.ini)
  # A relative value is taken relative to the program's folder, so the settings travel with it.
  file(WRITE ${storage_file}.in "ApplicationStorage=\"${RELEASE_PORTABLE_STORAGE}\"\r\n")
  configure_file(${storage_file}.in ${storage_file} COPYONLY)
  install(TARGETS letrana snapora letrana-export RUNTIME DESTINATION .)
  install(FILES ${shipped} ${storage_file} DESTINATION .)
  install(DIRECTORY DESTINATION ${RELEASE_PORTABLE_STORAGE})

  # ---- The installer ----
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(NSIS_TARGET amd64-unicode)
    set(NSIS_PROGRAM_FILES "$PROGRAMFILES64")
    set(NSIS_REGISTRY_VIEW 64)
  else()
    set(NSIS_TARGET x86-unicode)
    set(NSIS_PROGRAM_FILES "$PROGRAMFILES")
    set(NSIS_REGISTRY_VIEW 32)
  endif()
  set(NSIS_FILES "")
  set(NSIS_DELETES "")
  set(installed_names letrana.exe snapora.exe letrana-export.exe)
  string(APPEND NSIS_FILES "  File \"/oname=letrana.exe\" \"$<TARGET_FILE:letrana>\"\n")
  string(APPEND NSIS_FILES "  File \"/oname=snapora.exe\" \"$<TARGET_FILE:snapora>\"\n")
  string(APPEND NSIS_FILES "  File \"/oname=letrana-export.exe\" \"$<TARGET_FILE:letrana-export>\"\n")
  foreach(file ${shipped})
    get_filename_component(name ${file} NAME)
    if(name IN_LIST installed_names)
      message(FATAL_ERROR "two files of the release are named ${name}")
    endif()
    list(APPEND installed_names ${name})
    if(file IN_LIST help_files)
      # A help file missing at build time stops makensis with its name and where it comes from.
      string(APPEND NSIS_FILES "  !if ! /FileExists \"${file}\"\n"
             "    !error \"the help file ${file} is missing: build the target letrana_help\"\n  !endif\n")
    endif()
    string(APPEND NSIS_FILES "  File \"/oname=${name}\" \"${file}\"\n")
  endforeach()
  foreach(name ${installed_names})
    string(APPEND NSIS_DELETES "  Delete \"$INSTDIR\\${name}\"\n")
  endforeach()
  # The list the release's tests check the installed and unpacked files against: name|source a line.
  set(manifest "letrana.exe|$<TARGET_FILE:letrana>\nsnapora.exe|$<TARGET_FILE:snapora>\n")
  string(APPEND manifest "letrana-export.exe|$<TARGET_FILE:letrana-export>\n")
  foreach(file ${shipped})
    get_filename_component(name ${file} NAME)
    string(APPEND manifest "${name}|${file}\n")
  endforeach()
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release/files.txt CONTENT "${manifest}")

  set(NSIS_OUTPUT ${CMAKE_BINARY_DIR}/${RELEASE_INSTALLER_NAME})
  configure_file(${PROJECT_SOURCE_DIR}/installer/Letrana.nsi.in ${CMAKE_BINARY_DIR}/release/Letrana.nsi.gen @ONLY)
  # The programs' paths are known only when the build is generated.
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/release/Letrana.nsi INPUT ${CMAKE_BINARY_DIR}/release/Letrana.nsi.gen)

  if(NOT MAKENSIS)
    add_custom_target(installer COMMAND ${CMAKE_COMMAND} -E echo "makensis is missing (scripts/setup.sh installs nsis)"
                      COMMAND ${CMAKE_COMMAND} -E false VERBATIM)
    return()
  endif()
  set(depends letrana snapora letrana-export ${letrana_dist} ${snapora_dist} ${PROJECT_SOURCE_DIR}/installer/Letrana.nsi.in
              ${CMAKE_BINARY_DIR}/release/Letrana.nsi)
  if(TARGET letrana_help)
    list(APPEND depends letrana_help ${help_files})
  endif()
  add_custom_command(OUTPUT ${NSIS_OUTPUT}
                     COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8 ${CMAKE_BINARY_DIR}/release/Letrana.nsi
                     DEPENDS ${depends} VERBATIM COMMENT "Building the installer ${RELEASE_INSTALLER_NAME}")
  add_custom_target(installer DEPENDS ${NSIS_OUTPUT})
  if(TARGET letrana_help)
    add_dependencies(installer letrana_help)
  endif()
endfunction()

cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL release_assemble)
