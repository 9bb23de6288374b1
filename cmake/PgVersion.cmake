# The version, set once as the project's VERSION, reaches every program from
# here: pg_version.h (PG_VERSION, for `pairglyph --version`) on the include
# path of everything that links pg_core, and on Windows a VERSIONINFO
# resource per executable. The packages take it from the same variable.
set(PG_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pg_version.h.in ${PG_GENERATED_DIR}/pg_version.h @ONLY)

# pg_version_info(TARGET NAME DESCRIPTION): NAME.exe's version resource.
function(pg_version_info target name description)
  if(NOT WIN32)
    return()
  endif()
  set(PG_RC_NAME ${name})
  set(PG_RC_DESCRIPTION ${description})
  set(rc ${PG_GENERATED_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/versioninfo.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
