// One libFuzzer target; S4_FUZZ_ENTRY names the body it runs.
#include "fuzz/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzz::S4_FUZZ_ENTRY(data, size);
}
