# The cabinet encoders (LZX, MSZIP) against Linux's libarchive, as a fuzz target and as
# native tests.
add_library(lzx_encoder STATIC ${ZIBRAK_SOURCE}/standins/codecs/lzx_encoder.cpp
            ${ZIBRAK_SOURCE}/standins/codecs/mszip_encoder.cpp)
target_include_directories(lzx_encoder PUBLIC ${ZIBRAK_SOURCE})
target_compile_options(lzx_encoder PRIVATE ${ZIBRAK_SANITIZE} -fsanitize=fuzzer-no-link)

zibrak_fuzz(lzx_roundtrip SOURCES ${ZIBRAK_SOURCE}/fuzz/codecs/lzx_roundtrip.cpp
            LIBS lzx_encoder archive z)
zibrak_native_test(lzx_encoder_tests
                   SOURCES ${ZIBRAK_SOURCE}/standins/codecs/tests/lzx_encoder_test.cpp
                   LIBS lzx_encoder archive z)
