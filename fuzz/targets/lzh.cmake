# The LZH encoder: its tests against libarchive, lhasa and jlha, a fuzz target that decodes
# what it encodes, and a benchmark against jlha (run by hand, see its header).
set(LZH_ENCODER ${ZIBRAK_SOURCE}/standins/codecs/lzh_encoder.cpp)
set(LZH_SUPPORT ${ZIBRAK_SOURCE}/standins/codecs/tests/lzh_support.cpp)

zibrak_native_test(lzh_encoder_test
  SOURCES ${LZH_ENCODER} ${LZH_SUPPORT}
          ${ZIBRAK_SOURCE}/standins/codecs/tests/lzh_encoder_test.cpp
  LIBS archive)

zibrak_fuzz(lzh_encoder_fuzz
  SOURCES ${LZH_ENCODER} ${LZH_SUPPORT} ${ZIBRAK_SOURCE}/standins/codecs/tests/lzh_encoder_fuzz.cpp
  LIBS archive)

# Optimised and without sanitizers: it measures speed.
add_executable(lzh_encoder_bench ${LZH_ENCODER} ${LZH_SUPPORT}
               ${ZIBRAK_SOURCE}/standins/codecs/tests/lzh_encoder_bench.cpp)
target_include_directories(lzh_encoder_bench PRIVATE ${ZIBRAK_SOURCE})
target_compile_options(lzh_encoder_bench PRIVATE -O2)
target_link_libraries(lzh_encoder_bench PRIVATE archive)
