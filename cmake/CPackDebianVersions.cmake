# Read by cpack (CPACK_PROJECT_CONFIG_FILE). CPack's DEB generator takes one CPACK_DEBIAN_PACKAGE_VERSION
# for every component; the programs have versions of their own. When the generator, preparing one
# component's package, first asks for that version, it is given the component's own
# (CPACK_DEBIAN_<COMPONENT>_VERSION, which cmake/DebianPackage.cmake sets); the release is appended to it
# after that, as for any version.
if(CPACK_GENERATOR STREQUAL "DEB")
  macro(deb_component_version variable access)
    string(TOUPPER "${CPACK_DEB_PACKAGE_COMPONENT}" _component)
    # (An unset variable is read as UNKNOWN_READ_ACCESS.)
    if("${access}" MATCHES "READ_ACCESS$" AND "${${variable}}" STREQUAL "" AND DEFINED CPACK_DEBIAN_${_component}_VERSION)
      set(${variable} "${CPACK_DEBIAN_${_component}_VERSION}")
    endif()
  endmacro()
  variable_watch(CPACK_DEBIAN_PACKAGE_VERSION deb_component_version)
endif()
