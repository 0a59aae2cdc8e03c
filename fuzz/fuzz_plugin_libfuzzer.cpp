// libFuzzer driver for fuzzPlugin.
#include <cstddef>
#include <cstdint>

int fuzzPlugin(const uint8_t *data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) { return fuzzPlugin(data, size); }
