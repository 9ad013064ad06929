# The self-extracting programs' stubs stay under 400 KB, as Explorer counts them: each is
# copied into every program the stand-ins write. Prints each size.
#   cmake -DSTUB_DIR=<build>/standins/stub -P stub_sizes.cmake
set(limit 409600)
foreach(family lzh zip cab tar)
  set(stub ${STUB_DIR}/${family}/sfxstub.exe)
  if(NOT EXISTS ${stub})
    message(SEND_ERROR "${stub} is missing")
    continue()
  endif()
  file(SIZE ${stub} size)
  message(STATUS "${family} stub: ${size} bytes")
  if(size GREATER_EQUAL limit)
    message(SEND_ERROR "the ${family} stub is ${size} bytes, not under ${limit}")
  endif()
endforeach()
