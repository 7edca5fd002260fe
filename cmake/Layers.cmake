# The order of the product's folders, written once. Each folder is one library
# that links only the folders below it; its #include lines may name only the
# folders listed after USES (and itself). A folder may use only folders
# declared above it, so the order cannot run in a circle:
#
#   codec, core  <  platform (platform/fake, platform/win32 beside it)
#                <  saver  <  package, flash  <  app, tools
#
# platform/fake and platform/win32 implement the seam: nothing includes them
# but a program's entry point (ENTRY below) and the tests.
#
# The root CMakeLists.txt adds the top folders in this order, and every tree
# writes the table into build/<tree>/layers.txt, which the include check
# (tests/lint) reads: a change here is a change of the check.

set(SSI_LAYERS "")
set(SSI_LAYER_TOP_FOLDERS "")
set(_ssi_layer_lines "")

# ssi_layer(FOLDER [USES folder...])
function(ssi_layer folder)
  cmake_parse_arguments(L "" "" "USES" ${ARGN})
  if(folder IN_LIST SSI_LAYERS)
    message(FATAL_ERROR "Layers.cmake: ${folder} is declared twice")
  endif()
  foreach(used IN LISTS L_USES)
    if(NOT used IN_LIST SSI_LAYERS)
      message(FATAL_ERROR "Layers.cmake: ${folder} uses ${used}, which is not declared above it")
    endif()
  endforeach()
  set(SSI_LAYERS ${SSI_LAYERS} ${folder} PARENT_SCOPE)
  if(NOT folder MATCHES "/")
    set(SSI_LAYER_TOP_FOLDERS ${SSI_LAYER_TOP_FOLDERS} ${folder} PARENT_SCOPE)
  endif()
  list(JOIN L_USES " " uses)
  set(_ssi_layer_lines "${_ssi_layer_lines}layer ${folder} ${uses}\n" PARENT_SCOPE)
endfunction()

ssi_layer(codec)
ssi_layer(core)
ssi_layer(platform       USES core)
ssi_layer(platform/fake  USES core platform)
ssi_layer(platform/win32 USES core platform)
ssi_layer(saver          USES core platform)
ssi_layer(package        USES core codec platform)
ssi_layer(flash          USES core platform saver)
ssi_layer(app            USES core platform saver package flash)
ssi_layer(tools          USES core codec platform saver package flash)

# Files allowed one folder more than their own: the installer's entry point
# puts the real seam around it.
set(SSI_LAYER_ENTRIES "app/winmain.cpp platform/win32")

# Top folders that hold no product code: the include check does not read
# them, and product code never includes tests/ or fixtures/. Any other top
# folder with a source file in it must be declared above.
set(SSI_OUTSIDE_PRODUCT build cmake fixtures scripts tests)

# The table for the include check (a configure writes it; a script that
# includes this file for the declarations does not).
if(NOT CMAKE_SCRIPT_MODE_FILE)
  foreach(entry IN LISTS SSI_LAYER_ENTRIES)
    string(APPEND _ssi_layer_lines "entry ${entry}\n")
  endforeach()
  list(JOIN SSI_OUTSIDE_PRODUCT " " _outside)
  string(APPEND _ssi_layer_lines "outside ${_outside}\n")
  set(SSI_LAYERS_FILE ${CMAKE_BINARY_DIR}/layers.txt)
  file(CONFIGURE OUTPUT ${SSI_LAYERS_FILE}
       CONTENT "# The order of the folders, written by CMake from cmake/Layers.cmake.\n${_ssi_layer_lines}" @ONLY)
endif()
