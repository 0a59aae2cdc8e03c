// libFuzzer driver for fuzzTape.
#include <cstddef>
#include <cstdint>

int fuzzTape(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzzTape(data, size); }
