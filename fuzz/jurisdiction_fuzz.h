// Shared by the jurisdiction reader fuzz targets: writes the input to a
// temporary data file and reads it through the service object with the lists
// a host would set, then checks that the outcome is one a host can take and
// the same as a new object gives.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz/well_formed.h"
#include "platform/user_interface.h"
#include "service/xml_wrapper.h"

namespace zephrin::fuzz {

inline std::string TempPath(const char* suffix) {
  static const std::string base = [] {
    std::string templ = "/tmp/zephrin-jur-fuzz-XXXXXX";
    const int fd = ::mkstemp(templ.data());
    if (fd >= 0) ::close(fd);
    ::unlink(templ.c_str());
    return templ;
  }();
  return base + suffix;
}

// The first input byte picks the host code, the batch flag and whether the
// province list is set; `prefix` makes the analysis find the shape under test.
inline void ReadJurisdictionInput(const uint8_t* data, std::size_t size, std::string_view prefix, const char* suffix) {
  static constexpr const char* kCodes[] = {"LOGIC", "AABAL", "TIBAL",  "APPORT",  "LOSS",
                                           "CREDIT", "AMTACE", "CURSTI", "CATASSN", "CTPRCN"};
  const uint8_t options = size > 0 ? data[0] : 0;
  const char* code = kCodes[options % 10];
  const std::string path = TempPath(suffix);
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(prefix.data(), 1, prefix.size(), f);
    if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
  }

  const bool batch = options & 0x10, country = options & 0x20, logic = std::string_view(code) == "LOGIC",
             provinces = (options & 0x40) || (options % 10) >= 3;
  static RecordingUserInterface ui;
  const auto make = [&] {
    auto service = std::make_unique<CxmlWrapper>(&ui);
    if (batch) service->SetBatchIndicator(1);
    if (country) service->SetCountryOfOperation("840", "CA", "Canada");
    service->SetCurrentYear(2024);
    service->PutCategoryTypes("Income,Deduction,CREDIT");
    service->FillJurisdictionCaptions(logic ? "logic,AL,CA,NY,97000000,98000000"
                                            : "state,AL,CA,NY,Texas,0,05000000,Ontario");
    if (provinces) service->FillJurisdictionCaptions("prov,10,Ontario,24,Quebec,1,on");
    return service;
  };
  // One service object for each set of settings reads every input with
  // them, as a host's object does; it must answer as a new one would.
  static std::unique_ptr<CxmlWrapper> kept[16];
  auto& service = kept[batch | country << 1 | logic << 2 | provinces << 3];
  if (!service) service = make();
  const auto read = [&](CxmlWrapper& s) {
    std::string text;
    s.ReadImportFile(path, code, code, "ID", "more", text);
    return text;
  };
  const std::string result = read(*service);
  if (read(*make()) != result) {
    std::fprintf(stderr, "a read depends on the reads before it: %s\n", result.c_str());
    std::abort();
  }

  // Whatever comes back is a text a host's namespace-aware loader takes.
  if (const std::string problem = ReadOutcomeProblem(result); !problem.empty()) {
    std::fprintf(stderr, "not well-formed (%s): %s\n", problem.c_str(), result.c_str());
    std::abort();
  }
}

}  // namespace zephrin::fuzz
