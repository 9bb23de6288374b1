# PG_REPRODUCIBLE (the release build): the same commit gives the same bytes
# wherever it is checked out and built.
#   - no build paths in the programs or their debugging information: the
#     source folder is named "." and the build folder "build" in __FILE__
#     and DWARF (the build folder's map comes last, so it wins for the build
#     folders that lie inside the source folder);
#   - no link time in a Windows program's header (mingw ld writes one
#     unless told not to; the PE checksum field stays zero);
#   - build ids derive from the linked bytes only, so they repeat too.
option(PG_REPRODUCIBLE "Build without paths or times that vary between builds" OFF)
if(PG_REPRODUCIBLE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                      -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  if(MINGW)
    add_link_options(-Wl,--no-insert-timestamp)
  endif()
endif()
