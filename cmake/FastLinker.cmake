# Links with lld where it is installed: the engine library and the test programs link three times
# faster than with the default linker, which a change to the engine makes every test program redo.
include(CheckLinkerFlag)
check_linker_flag(CXX -fuse-ld=lld QUORVEL_HAVE_LLD)
if(QUORVEL_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
endif()
