// libFuzzer target: the CSV reader on any input.
#include "fuzz_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zephrin::fuzz::ReadInput(data, size, ".csv");
  return 0;
}
