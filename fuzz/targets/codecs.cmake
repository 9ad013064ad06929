# The stand-ins' own decoders: ARJ, Deflate64 and the ZIP directory, built natively with the
# sanitizers. The tests make their archives with Debian's arj, 7zz and zip while they run.
set(ZIBRAK_CODEC_SOURCES
  ${ZIBRAK_SOURCE}/standins/codecs/codec_status.cpp
  ${ZIBRAK_SOURCE}/standins/codecs/arj_reader.cpp
  ${ZIBRAK_SOURCE}/standins/codecs/deflate64.cpp
  ${ZIBRAK_SOURCE}/standins/codecs/zip_directory.cpp)

zibrak_native_test(codec_tests
  SOURCES ${ZIBRAK_CODEC_SOURCES}
          ${ZIBRAK_SOURCE}/standins/codecs/tests/test_files.cpp
          ${ZIBRAK_SOURCE}/standins/codecs/tests/arj_reader_test.cpp
          ${ZIBRAK_SOURCE}/standins/codecs/tests/zip_deflate64_test.cpp
  LIBS z)

# Header CRCs accepted whatever they are, so mutations of header fields are not all
# rejected at the CRC.
zibrak_fuzz(fuzz_arj_reader
  SOURCES ${ZIBRAK_CODEC_SOURCES} ${ZIBRAK_SOURCE}/fuzz/codecs/fuzz_arj_reader.cpp LIBS z
  DEFINES ZIBRAK_FUZZ_ACCEPT_HEADER_CRC)
zibrak_fuzz(fuzz_deflate64
  SOURCES ${ZIBRAK_CODEC_SOURCES} ${ZIBRAK_SOURCE}/fuzz/codecs/fuzz_deflate64.cpp LIBS z)
zibrak_fuzz(fuzz_zip_directory
  SOURCES ${ZIBRAK_CODEC_SOURCES} ${ZIBRAK_SOURCE}/fuzz/codecs/fuzz_zip_directory.cpp LIBS z)
