// Every input in tests/data/fuzz/<target>/ (the seeds, and any input a fuzzer
// ever crashed on) run again through the fuzz target's own body: each target
// is compiled in here under a name of its own.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "test_util.h"

#define LLVMFuzzerTestOneInput FuzzCsvReader
#include "../../fuzz/csv_reader_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzDifReader
#include "../../fuzz/dif_reader_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzPrnReader
#include "../../fuzz/prn_reader_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzJurDif
#include "../../fuzz/jur_dif_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzJurListed
#include "../../fuzz/jur_listed_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzJurTabular
#include "../../fuzz/jur_tabular_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzProfile
#include "../../fuzz/profile_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzProtocol
#include "../../fuzz/protocol_fuzz.cpp"
#undef LLVMFuzzerTestOneInput
#define LLVMFuzzerTestOneInput FuzzWorkbook
#include "../../fuzz/workbook_fuzz.cpp"
#undef LLVMFuzzerTestOneInput

namespace zephrin {
namespace {

using Target = int (*)(const uint8_t*, size_t);

class FuzzRegression : public testing::TestWithParam<std::pair<const char*, Target>> {};

TEST_P(FuzzRegression, EveryKeptInputRunsCleanly) {
  const auto [name, target] = GetParam();
  const std::filesystem::path dir = test::DataPath(std::string("fuzz/") + name);
  test::ScopedEnv keep("ZEPHRINIMPORT_HOME", std::nullopt);
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    SCOPED_TRACE(entry.path().string());
    const std::string input = test::ReadFile(entry.path().string());
    EXPECT_EQ(target(reinterpret_cast<const uint8_t*>(input.data()), input.size()), 0);
    ++count;
  }
  EXPECT_GT(count, 0) << "no inputs kept for " << name;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegression,
                         testing::Values(std::pair{"csv_reader_fuzz", &FuzzCsvReader},
                                         std::pair{"dif_reader_fuzz", &FuzzDifReader},
                                         std::pair{"prn_reader_fuzz", &FuzzPrnReader},
                                         std::pair{"jur_dif_fuzz", &FuzzJurDif},
                                         std::pair{"jur_listed_fuzz", &FuzzJurListed},
                                         std::pair{"jur_tabular_fuzz", &FuzzJurTabular},
                                         std::pair{"profile_fuzz", &FuzzProfile},
                                         std::pair{"protocol_fuzz", &FuzzProtocol},
                                         std::pair{"workbook_fuzz", &FuzzWorkbook}),
                         [](const auto& info) { return std::string(info.param.first); });

}  // namespace
}  // namespace zephrin
