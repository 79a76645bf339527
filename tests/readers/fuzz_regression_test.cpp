// Every input in tests/data/fuzz/<reader target>/ (seeds, and any input a
// fuzzer ever crashed on) read again through the same path as the fuzzer.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/fuzz_reader.h"
#include "test_util.h"

namespace zephrin {
namespace {

TEST(FuzzRegression, ReaderInputsReadCleanly) {
  const std::pair<const char*, const char*> targets[] = {
      {"csv_reader_fuzz", ".csv"}, {"dif_reader_fuzz", ".dif"}, {"prn_reader_fuzz", ".txt"}};
  int count = 0;
  for (const auto& [target, extension] : targets) {
    const std::filesystem::path dir = test::DataPath(std::string("fuzz/") + target);
    if (!std::filesystem::exists(dir)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string input = test::ReadFile(entry.path().string());
      test::ScopedEnv keep("ZEPHRINIMPORT_HOME", std::nullopt);
      fuzz::ReadInput(reinterpret_cast<const uint8_t*>(input.data()), input.size(), extension);
      ++count;
    }
  }
  EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace zephrin
