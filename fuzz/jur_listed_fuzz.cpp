// libFuzzer target: the listed jurisdiction reader (a record line and an
// indented known jurisdiction make the analysis settle on a listed file).
#include "jurisdiction_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  zephrin::fuzz::ReadJurisdictionInput(data, size, "Income,Sales,Retail\n  Ontario,1\n  AL,2\n", ".csv");
  return 0;
}
