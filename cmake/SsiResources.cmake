# ssi_add_string_table(TARGET): adds core/strings.rc (the STRINGTABLE made from
# core/strings.def, and the version information) to a Win32 target. windres
# writes no dependency file, so the dependencies on strings.def and version.h
# are declared here.
function(ssi_add_string_table target)
  if(NOT SSI_WIN32)
    return()
  endif()
  set(rc ${CMAKE_SOURCE_DIR}/core/strings.rc)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/core/strings.def;${CMAKE_SOURCE_DIR}/core/version.h")
endfunction()
