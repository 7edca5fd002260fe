# Run by CTest as a script: cmake -DCASE=<case> -P layers_refuse.cmake
# Declares one more folder after the product's order in a way that would let
# the order run in a circle or say two things; cmake/Layers.cmake must stop.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/Layers.cmake)
if(CASE STREQUAL "uses_higher")
  ssi_layer(extras USES core later)   # "later" is declared below it
  ssi_layer(later)
elseif(CASE STREQUAL "twice")
  ssi_layer(saver USES core)
elseif(CASE STREQUAL "kept")
  ssi_layer(extras USES core tools)   # a new folder above all others is fine
  list(JOIN SSI_LAYERS " " declared)
  message(STATUS "declared: ${declared}")
endif()
