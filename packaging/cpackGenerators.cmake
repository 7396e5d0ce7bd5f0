# Read by CPack once per generator: the archive unpacks into quorvel-VERSION-Linux/ with the viewer's
# README on top; a .deb installs under /usr and keeps its documentation in /usr/share/doc.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL Unspecified)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_COMPONENTS_ALL Unspecified viewer)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
