# The program's text readers built natively: the product sources as they are, over the
# Win32 stand-ins in fuzz/native, and one fuzz target per reader.
add_library(zibrak_program_native STATIC
  ${ZIBRAK_SOURCE}/base/StrBuf.cpp
  ${ZIBRAK_SOURCE}/base/Paths.cpp
  ${ZIBRAK_SOURCE}/base/CommandLine.cpp
  ${ZIBRAK_SOURCE}/base/FileList.cpp
  ${ZIBRAK_SOURCE}/base/WideNames.cpp
  ${ZIBRAK_SOURCE}/archivers/Archiver.cpp
  ${ZIBRAK_SOURCE}/archivers/Chain.cpp
  ${ZIBRAK_SOURCE}/archivers/CommandText.cpp
  ${ZIBRAK_SOURCE}/archivers/DllArchiver.cpp
  ${ZIBRAK_SOURCE}/settings/Options.cpp
  ${ZIBRAK_SOURCE}/ui/WarnSize.cpp
  ${ZIBRAK_SOURCE}/fuzz/native/Win32StandIn.cpp)
# The stand-in headers come before anything else, so <windows.h> is ours.
target_include_directories(zibrak_program_native BEFORE PUBLIC
  ${ZIBRAK_SOURCE}/fuzz/native ${ZIBRAK_SOURCE})
target_compile_options(zibrak_program_native PRIVATE -fsanitize=fuzzer-no-link ${ZIBRAK_SANITIZE}
  -finput-charset=UTF-8)

foreach(reader command_line dbcs_scans split_path command_text warn_size ini_options)
  zibrak_fuzz(program_${reader}
    SOURCES ${ZIBRAK_SOURCE}/fuzz/program/${reader}.cpp
    LIBS zibrak_program_native)
endforeach()
