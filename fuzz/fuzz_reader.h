// Shared body of the reader fuzz targets: the input becomes a data file, read
// through a small template store with every plain reader's interesting
// layouts. The first input byte picks the layout. One service object reads
// every input, the way a host keeps one for its session.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include <cstdio>

#include "fuzz/well_formed.h"
#include "platform/user_interface.h"
#include "service/xml_wrapper.h"

namespace zephrin::fuzz {

inline const std::string& Home() {
  static const std::string home = [] {
    char templ[] = "/tmp/zephrin-fuzz-XXXXXX";
    std::string dir = mkdtemp(templ);
    std::ofstream ini(dir + "/import.ini", std::ios::binary);
    ini << "[Import:COA]\nInfo=COA\nFsiType=FEDERAL\nCompany_Number=0 0 0\nAccount_Number=0 2 0\n"
           "Account_Caption=1 2 0\nAccount_Balance=2 1 0\nTRC=3 1 0\nTCC=9 1 0\n"
           "[Import:JE]\nInfo=JE\nJE_Type=0 1 0\nJE_Number=1 4 1\nJE_Caption=2 1 0\nAccount_Number=3 1 224\n"
           "Account_Balance=4 1 224\nTransfer from Provision=5 1 300\nRTP_Adj_Override=2 3 224\n"
           "[Import:PAY]\nInfo=TAXPAY\nCompany_Number=0 1 0\nPostal_Code=1 1 0\nPrior_Year_Overpayment=2 1 0\n"
           "[Import:RATE]\nInfo=TAXRATE\nJurisdiction_Name=0 1 0\nJurisdiction=1 1 0\nCurrent_EOY_Rate=2 1 0\n"
           "[Import:INTL]\nInfo=INTL\nIntlType=SOURCE CODE\nSource Code=0 1 0\nDescription=1 1 0\n";
    return dir;
  }();
  return home;
}

// Reads `data` as a file with the given extension and checks the outcome.
inline void ReadInput(const uint8_t* data, size_t size, const char* extension) {
  const std::string& home = Home();
  setenv("ZEPHRINIMPORT_HOME", home.c_str(), 1);
  const uint8_t choice = size ? data[0] : 0;
  const std::string path = home + "/input" + extension;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (size > 1) out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  }
  // Two service objects, one in batch mode, serve every input, as one serves
  // a host's whole session: nothing of one read may change the next.
  static RecordingUserInterface ui;
  static auto make = [](bool batch) {
    auto s = std::make_unique<CxmlWrapper>(&ui);
    (void)s->EstablishTemplateStore();  // a fuzzing home always has its folder
    if (batch) s->SetBatchIndicator(1);
    s->FillJurisdictionCaptions("prov,12,Ontario,24,Quebec");
    s->FillJurisdictionCaptions("ti,ny;3:7,ca;4:8");
    s->SetCountryJurisdictions("<C><Jurisdictions><Jurisdiction Abbrev=\"ON\" ID=\"9\"><Name>Ontario</Name>"
                               "</Jurisdiction></Jurisdictions></C>");
    return s;
  };
  static const std::unique_ptr<CxmlWrapper> plain = make(false), batch = make(true);
  const bool inBatch = (choice & 0x10) != 0;
  static const char* const kLayouts[][2] = {{"COA", "FCOA"}, {"COA", "PRELIMBAL"}, {"JE", "FBJ"}, {"JE", "FRJ"},
                                            {"JE", "JEBAL"}, {"PAY", "TAXPAY"},  {"RATE", "TAXRATE"}, {"CATEGORY", "CAT"}};
  const auto read = [&](CxmlWrapper& service) {
    std::string text;
    if ((choice & 0x0F) == 0x0F) {
      service.ReadIntlImportFile(path, "INTL", "INTL", "1", 2024, 2, text);
    } else {
      const auto& layout = kLayouts[(choice & 0x0F) % 8];
      service.ReadImportFile(path, layout[0], layout[1], "42", "", text);
    }
    return text;
  };
  const std::string result = read(inBatch ? *batch : *plain);
  // The object that read everything before answers as a new one does.
  if (read(*make(inBatch)) != result) {
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
