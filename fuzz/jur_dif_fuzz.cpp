// libFuzzer target: the DIF jurisdiction reader (the input follows the
// "TABLE" item, so the analysis takes the file as DIF).
#include "jurisdiction_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zephrin::fuzz::ReadJurisdictionInput(data, size, "TABLE\n0,1\n", ".dif");
  return 0;
}
