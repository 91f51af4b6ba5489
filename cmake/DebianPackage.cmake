# The native Linux desktop build's package: letrana_<version>-<release>_<arch>.deb by CPack (`cpack -G DEB`
# in the build folder). It installs under /usr:
#   bin/letrana, bin/letrana-export
#   share/letrana/            the language files, the licence and read-me, help/<Language>/ (the program
#                             finds this folder as ../share/letrana/ beside its own)
#   share/applications/       the desktop entry, share/metainfo/ its AppStream description
#   share/icons/hicolor/      the program's icon at 16 to 256 pixels (tools/make_icon.py, at build time)
#   share/doc/letrana/        copyright (the licence in the machine-readable form) and changelog.Debian.gz
#   share/man/man1/           the two programs' manual pages
# The dependencies are computed from the programs' libraries (dpkg-shlibdeps).

set(LETRANA_APP_ID com.norvane.Letrana)
set(LETRANA_LINUX_DIR ${PROJECT_SOURCE_DIR}/letrana/linux)
set(LETRANA_PACKAGE_DIR ${PROJECT_BINARY_DIR}/package)
set(LETRANA_MAINTAINER "${PROGRAMS_VENDOR} <info@norvane.example>")
set(LETRANA_DEBIAN_RELEASE 1)
find_program(PACKAGE_PYTHON python3 HINTS /usr/bin REQUIRED)
find_program(PACKAGE_GZIP gzip REQUIRED)

# The release date (dd.mm.yyyy) in the forms the metadata and the changelog take.
string(REGEX REPLACE "^([0-9]+)\\.([0-9]+)\\.([0-9]+)$" "\\3-\\2-\\1" LETRANA_RELEASE_DATE ${LETRANA_VERSION_DATE})
execute_process(COMMAND date -R -u -d "${LETRANA_RELEASE_DATE} 12:00" OUTPUT_VARIABLE LETRANA_CHANGELOG_DATE
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(MAKER_WEB_ADDRESS www.norvane.example)
set(DEBIAN_VERSION ${LETRANA_VERSION}-${LETRANA_DEBIAN_RELEASE})
set(DEBIAN_MAINTAINER ${LETRANA_MAINTAINER})
set(DEBIAN_CHANGELOG_DATE ${LETRANA_CHANGELOG_DATE})
configure_file(${LETRANA_LINUX_DIR}/${LETRANA_APP_ID}.metainfo.xml.in
               ${LETRANA_PACKAGE_DIR}/${LETRANA_APP_ID}.metainfo.xml @ONLY)
configure_file(${LETRANA_LINUX_DIR}/changelog.in ${LETRANA_PACKAGE_DIR}/changelog.Debian @ONLY)

# The copyright file: the licence that ships beside the program, as the machine-readable format's
# stand-alone licence paragraph (each line indented, an empty line written as " .").
set(license_file ${PROJECT_SOURCE_DIR}/letrana/dist/Letrana_License.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${license_file})
file(READ ${license_file} license)
string(REPLACE "\r" "" license "${license}")
string(STRIP "${license}" license)
string(REPLACE "\n" "\n " license "${license}")
string(REGEX REPLACE "\n [ ]*\n" "\n .\n" license "${license}")
string(REGEX REPLACE "\n [ ]*\n" "\n .\n" license "${license}")
file(WRITE ${LETRANA_PACKAGE_DIR}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Letrana\n"
     "Upstream-Contact: ${LETRANA_MAINTAINER}\n"
     "Source: http://${MAKER_WEB_ADDRESS}/\n\n"
     "Files: *\n"
     "Copyright: 2009-2017 ${PROGRAMS_VENDOR}\n"
     "License: Letrana-freeware\n"
     " ${license}\n")

# The icons, the compressed changelog and manual pages, made at build time. The icon is named after the
# program, as the window classes look it up in the icon theme for its windows and its about box.
set(icon_dir ${LETRANA_PACKAGE_DIR}/icons)
set(icons)
foreach(size 16 32 48 64 128 256)
  list(APPEND icons ${icon_dir}/${size}x${size}/apps/letrana.png)
endforeach()
add_custom_command(OUTPUT ${icons}
                   COMMAND ${PACKAGE_PYTHON} ${PROJECT_SOURCE_DIR}/tools/make_icon.py letrana --png ${icon_dir} letrana
                   DEPENDS ${PROJECT_SOURCE_DIR}/tools/make_icon.py
                   COMMENT "Drawing Letrana's icon for the desktop"
                   VERBATIM)
set(compressed)
foreach(pair "${LETRANA_PACKAGE_DIR}/changelog.Debian|changelog.Debian.gz"
             "${LETRANA_LINUX_DIR}/letrana.1|letrana.1.gz" "${LETRANA_LINUX_DIR}/letrana-export.1|letrana-export.1.gz")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 source)
  list(GET pair 1 name)
  # (-n: no name or time stamp inside, so the same sources give the same bytes.)
  add_custom_command(OUTPUT ${LETRANA_PACKAGE_DIR}/${name}
                     COMMAND sh -c "'${PACKAGE_GZIP}' -9n < '${source}' > '${LETRANA_PACKAGE_DIR}/${name}'"
                     DEPENDS ${source}
                     VERBATIM)
  list(APPEND compressed ${LETRANA_PACKAGE_DIR}/${name})
endforeach()
add_custom_target(letrana_desktop_files ALL DEPENDS ${icons} ${compressed})

install(TARGETS letrana letrana-export RUNTIME DESTINATION bin)
file(GLOB letrana_dist CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/letrana/dist/*)
install(FILES ${letrana_dist} DESTINATION share/letrana)
install(DIRECTORY ${PROJECT_BINARY_DIR}/letrana/help DESTINATION share/letrana)
install(FILES ${LETRANA_LINUX_DIR}/${LETRANA_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${LETRANA_PACKAGE_DIR}/${LETRANA_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(DIRECTORY ${icon_dir}/ DESTINATION share/icons/hicolor)
install(FILES ${LETRANA_PACKAGE_DIR}/copyright ${LETRANA_PACKAGE_DIR}/changelog.Debian.gz
        DESTINATION share/doc/letrana)
install(FILES ${LETRANA_PACKAGE_DIR}/letrana.1.gz ${LETRANA_PACKAGE_DIR}/letrana-export.1.gz
        DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME letrana)
set(CPACK_PACKAGE_VENDOR ${PROGRAMS_VENDOR})
set(CPACK_PACKAGE_VERSION ${LETRANA_VERSION})
set(CPACK_PACKAGE_CONTACT ${LETRANA_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "glyph exporter: a font's characters as pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "Letrana shows the characters of a font in a grid and exports the chosen ones\n"
    "as pictures, one file per character: BMP, JPEG, GIF, transparent GIF or PNG\n"
    "with alpha.\n"
    "\n"
    "Its command-line tool letrana-export writes the same pictures for build\n"
    "pipelines, or packs them into a texture atlas with a bitmap-font descriptor.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${LETRANA_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${LETRANA_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE http://${MAKER_WEB_ADDRESS}/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help pages open in the browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
