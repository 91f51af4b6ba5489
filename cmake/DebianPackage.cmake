# The native Linux desktop build's Debian packages: one `cpack -G DEB` in the build folder makes one
# package a program, letrana_<version>-<release>_<arch>.deb and snapora_<version>-<release>_<arch>.deb,
# each of its program's own version (two programs with their own releases, dependencies and uses: a user
# who wants the capture tool installs it alone). Each installs under /usr:
#   bin/<program>             (letrana also bin/letrana-export)
#   share/<program>/          the language files and the documents (letrana also help/<Language>/); the
#                             program finds this folder as ../share/<program>/ beside its own
#   share/applications/       the desktop entry, share/metainfo/ its AppStream description
#   share/icons/hicolor/      the program's icon at 16 to 256 pixels (tools/make_icon.py, at build time)
#   share/doc/<program>/      copyright (the licence in the machine-readable form) and changelog.Debian.gz
#   share/man/man1/           the manual pages
# The dependencies are computed from the programs' libraries (dpkg-shlibdeps).

set(DEBIAN_MAINTAINER "${PROGRAMS_VENDOR} <info@norvane.example>")
set(DEBIAN_RELEASE 1)
set(MAKER_WEB_ADDRESS www.norvane.example)
set(DEBIAN_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
find_program(PACKAGE_PYTHON python3 HINTS /usr/bin REQUIRED)
find_program(PACKAGE_GZIP gzip REQUIRED)

# One program's package: its metadata made from the templates in <program>/linux/ (the release date
# dd.mm.yyyy in the forms the metadata and the changelog take), the copyright file from its licence, the
# icons, the compressed changelog and manual pages, and everything installed as the component named
# after the program. The caller installs the program's binaries and data into the component. The
# description's lines follow as the last arguments, the summary first.
function(debian_program program name app_id version version_date license)
  set(linux_dir ${PROJECT_SOURCE_DIR}/${program}/linux)
  set(dir ${DEBIAN_PACKAGE_DIR}/${program})
  # (configure_file takes these variables from this scope.)
  set(PROGRAM_VERSION ${version})
  string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" "\\3-\\2-\\1" PROGRAM_RELEASE_DATE ${version_date})
  execute_process(COMMAND date -R -u -d "${PROGRAM_RELEASE_DATE} 12:00" OUTPUT_VARIABLE DEBIAN_CHANGELOG_DATE
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(DEBIAN_VERSION ${version}-${DEBIAN_RELEASE})
  configure_file(${linux_dir}/${app_id}.metainfo.xml.in ${dir}/${app_id}.metainfo.xml @ONLY)
  configure_file(${linux_dir}/changelog.in ${dir}/changelog.Debian @ONLY)

  # The copyright file: the licence as the machine-readable format's stand-alone licence paragraph (each
  # line indented, an empty line written as " .").
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license})
  file(READ ${license} text)
  string(REPLACE "\r" "" text "${text}")
  string(STRIP "${text}" text)
  string(REPLACE "\n" "\n " text "${text}")
  string(REGEX REPLACE "\n [ ]*\n" "\n .\n" text "${text}")
  string(REGEX REPLACE "\n [ ]*\n" "\n .\n" text "${text}")
  file(WRITE ${dir}/copyright
       "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
       "Upstream-Name: ${name}\n"
       "Upstream-Contact: ${DEBIAN_MAINTAINER}\n"
       "Source: http://${MAKER_WEB_ADDRESS}/\n\n"
       "Files: *\n"
       "Copyright: 2009-2017 ${PROGRAMS_VENDOR}\n"
       "License: ${name}-freeware\n"
       " ${text}\n")

  # The icons, the compressed changelog and manual pages, made at build time. The icon is named after
  # the program, as the window classes look it up in the icon theme for its windows.
  set(icons)
  foreach(size 16 32 48 64 128 256)
    list(APPEND icons ${dir}/icons/${size}x${size}/apps/${program}.png)
  endforeach()
  add_custom_command(OUTPUT ${icons}
                     COMMAND ${PACKAGE_PYTHON} ${PROJECT_SOURCE_DIR}/tools/make_icon.py ${program} --png ${dir}/icons ${program}
                     DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py
                     COMMENT "Drawing ${name}'s icon for the desktop"
                     VERBATIM)
  set(compressed ${dir}/changelog.Debian.gz)
  set(sources ${dir}/changelog.Debian)
  file(GLOB man_pages CONFIGURE_DEPENDS ${linux_dir}/*.1)
  foreach(page ${man_pages})
    get_filename_component(page_name ${page} NAME)
    list(APPEND compressed ${dir}/${page_name}.gz)
    list(APPEND sources ${page})
  endforeach()
  foreach(source target IN ZIP_LISTS sources compressed)
    # (-n: no name or time stamp inside, so the same sources give the same bytes.)
    add_custom_command(OUTPUT ${target}
                       COMMAND sh -c "'${PACKAGE_GZIP}' -9n < '${source}' > '${target}'"
                       DEPENDS ${source}
                       VERBATIM)
  endforeach()
  add_custom_target(${program}_desktop_files ALL DEPENDS ${icons} ${compressed})

  install(FILES ${linux_dir}/${app_id}.desktop DESTINATION share/applications COMPONENT ${program})
  install(FILES ${dir}/${app_id}.metainfo.xml DESTINATION share/metainfo COMPONENT ${program})
  install(DIRECTORY ${dir}/icons/ DESTINATION share/icons/hicolor COMPONENT ${program})
  install(FILES ${dir}/copyright ${dir}/changelog.Debian.gz DESTINATION share/doc/${program} COMPONENT ${program})
  list(REMOVE_ITEM compressed ${dir}/changelog.Debian.gz)
  install(FILES ${compressed} DESTINATION share/man/man1 COMPONENT ${program})

  string(TOUPPER ${program} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${program} PARENT_SCOPE)
  string(JOIN "" description ${ARGN})
  set(CPACK_DEBIAN_${upper}_DESCRIPTION "${description}" PARENT_SCOPE)
  # The version of the program's own package (cmake/CPackDebianVersions.cmake hands it on).
  set(CPACK_DEBIAN_${upper}_VERSION ${version} PARENT_SCOPE)
endfunction()

debian_program(letrana Letrana com.norvane.Letrana ${LETRANA_VERSION} ${LETRANA_VERSION_DATE}
               ${PROJECT_SOURCE_DIR}/letrana/dist/Letrana_License.txt
               "glyph exporter: a font's characters as pictures\n"
               "Letrana shows the characters of a font in a grid and exports the chosen ones\n"
               "as pictures, one file per character: BMP, JPEG, GIF, transparent GIF or PNG\n"
               "with alpha.\n"
               "\n"
               "Its command-line tool letrana-export writes the same pictures for build\n"
               "pipelines, or packs them into a texture atlas with a bitmap-font descriptor.")
install(TARGETS letrana letrana-export RUNTIME DESTINATION bin COMPONENT letrana)
file(GLOB letrana_dist CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/letrana/dist/*)
install(FILES ${letrana_dist} DESTINATION share/letrana COMPONENT letrana)
install(DIRECTORY ${PROJECT_BINARY_DIR}/letrana/help DESTINATION share/letrana COMPONENT letrana)
# The help pages open in the browser through xdg-open.
set(CPACK_DEBIAN_LETRANA_PACKAGE_RECOMMENDS xdg-utils)

debian_program(snapora Snapora com.norvane.Snapora ${SNAPORA_VERSION} ${SNAPORA_VERSION_DATE}
               ${PROJECT_SOURCE_DIR}/snapora/linux/Snapora_License.txt
               "window capture tool: windows, the screen or a region as pictures\n"
               "Snapora lists the windows on an X11 desktop and captures the one chosen (with\n"
               "or without its frame), the whole screen, the desktop with every window out of\n"
               "sight, or a region chosen on the frozen screen, to the clipboard and to BMP,\n"
               "JPEG or PNG files.\n"
               "\n"
               "It captures at the press of a hot key, automatically at a fixed interval into\n"
               "time-stamped files, and from the command line.")
install(TARGETS snapora RUNTIME DESTINATION bin COMPONENT snapora)
file(GLOB snapora_dist CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/snapora/dist/*)
install(FILES ${snapora_dist} ${PROJECT_SOURCE_DIR}/snapora/linux/Snapora_License.txt DESTINATION share/snapora
        COMPONENT snapora)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL letrana snapora)
set(CPACK_PACKAGE_NAME letrana)
set(CPACK_PACKAGE_VENDOR ${PROGRAMS_VENDOR})
set(CPACK_PACKAGE_VERSION ${LETRANA_VERSION})
set(CPACK_PACKAGE_CONTACT ${DEBIAN_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${DEBIAN_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE http://${MAKER_WEB_ADDRESS}/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack's DEB generator gives every component the one CPACK_DEBIAN_PACKAGE_VERSION; this file, read by
# cpack, gives each package its program's version.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/CPackDebianVersions.cmake)
include(CPack)
