# Pads a program image with zero bytes to exactly LIMIT bytes, after printing
# its unpadded size and the margin left. The package is appended at offset
# LIMIT, so an image that does not fit fails the build (and is removed, so a
# later build does not take it for finished).
#   cmake -DIMAGE=path/install.exe -DLIMIT=N -P PadImage.cmake   (N: SSI_PACKAGE_OFFSET)
if(NOT IMAGE OR NOT LIMIT)
  message(FATAL_ERROR "PadImage: IMAGE and LIMIT are required")
endif()
file(SIZE "${IMAGE}" size)
math(EXPR margin "${LIMIT} - ${size}")
get_filename_component(name "${IMAGE}" NAME)
if(size GREATER LIMIT)
  file(REMOVE "${IMAGE}")
  message(FATAL_ERROR "${name}: the program image is ${size} bytes, ${margin} bytes over the ${LIMIT} bytes "
                      "that the package offset leaves for it. Make the program smaller.")
endif()
message("${name}: image ${size} bytes, margin ${margin} bytes to ${LIMIT}; padded to ${LIMIT}")
if(size LESS LIMIT)
  execute_process(COMMAND truncate -s ${LIMIT} "${IMAGE}" RESULT_VARIABLE failed)
  if(failed)
    file(REMOVE "${IMAGE}")
    message(FATAL_ERROR "${name}: padding failed (truncate: ${failed})")
  endif()
endif()
