// libFuzzer target: the tabular jurisdiction reader (two leading rows make
// the analysis settle on a tabular file before the input's own lines).
#include "jurisdiction_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zephrin::fuzz::ReadJurisdictionInput(data, size, "Type,Category,AL,CA\nIncome,Sales,1,2\n", ".csv");
  return 0;
}
