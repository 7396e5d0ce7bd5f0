# Read by CPack once per generator: the viewer's README sits at the top of the archive only; a .deb
# keeps its documentation under /usr/share/doc.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL Unspecified)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
  set(CPACK_COMPONENTS_ALL Unspecified viewer)
endif()
