// Every text a read returns is one a host's namespace-aware XML loader
// takes, whatever the caller or the data file holds: the error documents
// escape what they carry, names are checked by their content on every read,
// and a name with a colon is refused like any other name XML cannot carry.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <random>
#include <string>

#include "fuzz/well_formed.h"
#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

constexpr const char* kJurSupport =
    "Please close Internet browser, reboot your workstation and try again.\n"
    "If the problem occurs again, contact Ostrevar Calvenor support.</Error>";

class WellFormed : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(service.EstablishTemplateStore()); }
  std::string Read(const std::string& file, std::string_view templ, std::string_view type) {
    std::string result;
    EXPECT_EQ(service.ReadImportFile(file, templ, type, "7", "", result), kOk);
    return result;
  }
  test::ScopedHome home;
  RecordingUserInterface ui;
  CxmlWrapper service{&ui};
};

TEST_F(WellFormed, ErrorDocumentsEscapeWhatTheyCarry) {
  test::WriteFile(home.file("import.ini"),
                  "[Import:ENT]\nInfo=ENTITY\nFsiType=FEDERAL\nSales&Use_Binder_Name=0 5 0\n");
  test::WriteFile(home.file("ent.txt"), "Acme Corp\n");
  test::WriteFile(home.file("cat.csv"), "a,b,c,d\n");
  service.FillJurisdictionCaptions("state,AL,CA");
  struct Case {
    std::string file, templ, type, expected;
  };
  const Case cases[] = {
      {"/data/R&D/a<b.csv", "CATEGORY", "CAT",
       "<Error>Error opening import file /data/R&amp;D/a&lt;b.csv for reading!</Error>"},
      {"/data/R&D/a<b.csv", "AABAL", "AABAL",
       "<Error>Error opening import file /data/R&amp;D/a&lt;b.csv for reading!</Error>"},
      {home.file("ent.txt"), "ENT", "ENTITY",
       "<Error>The name \"Sales&amp;Use_Binder_Name\" cannot be used as an XML element name. Please correct the "
       "template and try again.</Error>"},
      {home.file("cat.csv"), "CATEGORY", "F&OB",
       "<Error>The name \"F&amp;OB\" cannot be used as an XML element name. Please correct the template and try "
       "again.</Error>"},
      // A colon makes a name that a namespace-aware loader refuses.
      {home.file("cat.csv"), "CATEGORY", "A:B",
       "<Error>The name \"A:B\" cannot be used as an XML element name. Please correct the template and try "
       "again.</Error>"},
  };
  for (const Case& c : cases) {
    const std::string result = Read(c.file, c.templ, c.type);
    EXPECT_EQ(result, c.expected) << c.type;
    EXPECT_EQ(fuzz::XmlProblem(result), "") << result;
  }
}

TEST_F(WellFormed, EveryNameIsCheckedOnEveryRead) {
  test::WriteFile(home.file("cat.csv"), "a,b,c,d\n");
  const std::string good = Read(home.file("cat.csv"), "CATEGORY", "FCOB");
  EXPECT_EQ(good.substr(0, 18), "<FCOB OBJID=\"7\"><C");
  EXPECT_EQ(Read(home.file("cat.csv"), "CATEGORY", "F<OB"),
            "<Error>The name \"F&lt;OB\" cannot be used as an XML element name. Please correct the template and "
            "try again.</Error>");
  EXPECT_EQ(Read(home.file("cat.csv"), "CATEGORY", "FCOB"), good);
}

TEST_F(WellFormed, JurisdictionHeadersThatMakeNoNameEndTheRead) {
  // AMTACE in provincial mode accepts any header when no country is set, and
  // a header no table holds becomes an element of the template: "T" + key.
  service.FillJurisdictionCaptions("prov,10,Ontario");
  for (const char* header : {":-", ":", "a:b"}) {
    test::WriteFile(home.file("amt.csv"), std::string("Description,Code,") + header + "\nx,y,1\n");
    EXPECT_EQ(Read(home.file("amt.csv"), "AMTACE", "AMTACE"),
              std::string("<Error>An internal error occurred creating the XML stream. ") + kJurSupport)
        << header;
  }
}

TEST_F(WellFormed, AFileLargerThanMemoryIsRefusedAsTooLarge) {
  // A sparse file: as large as the machine's memory, and nothing on disk.
  const uint64_t memory = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  for (const char* name : {"huge.csv", "huge&.dif"}) {
    const std::string path = home.file(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(memory)), 0);
    ::close(fd);
  }
  const std::string expected = "<Error>The import file " + home.file("huge.csv") + " is too large to read.</Error>";
  EXPECT_EQ(Read(home.file("huge.csv"), "CATEGORY", "CAT"), expected);
  service.FillJurisdictionCaptions("state,AL,CA");
  EXPECT_EQ(Read(home.file("huge&.dif"), "AABAL", "AABAL"),
            "<Error>The import file " + home.file("huge&amp;.dif") + " is too large to read.</Error>");
}

// ---- Generated reads ----------------------------------------------------------------

// Reads of generated files, host codes, paths and templates through one
// service object, as a host makes them, each returned text parsed.
class GeneratedReads : public ::testing::Test {
 protected:
  std::mt19937 rng{20261207};
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
  template <class T, std::size_t N>
  const T& PickOf(const T (&items)[N]) { return items[Pick(static_cast<int>(N))]; }

  // Text made of characters that mean something to XML, to a CSV or DIF
  // reader, or to the engine's own escaping.
  std::string Text(int maxLength) {
    static const char kChars[] = "aZ09 _-.,:;&<>\"'\t=^[]/\\\xE9\x80\x9D\x01";
    std::string s;
    const int n = Pick(maxLength + 1);
    for (int i = 0; i < n; ++i) s.push_back(kChars[Pick(sizeof kChars - 1)]);
    return s;
  }
  std::string Bytes(int maxLength) {
    std::string s;
    const int n = Pick(maxLength + 1);
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(Pick(256)));
    return s;
  }
  std::string CsvLines(int fields) {
    std::string s;
    for (int line = Pick(12); line > 0; --line) {
      for (int f = 0; f < fields; ++f) {
        if (f) s.push_back(',');
        s += Pick(4) == 0 ? "\"" + Text(8) + "\"" : Text(8);
      }
      s.push_back('\n');
    }
    return s;
  }
  std::string DifFile(int columns, const std::function<std::string()>& cell) {
    std::string s = test::DifHeader(columns, 6);
    for (int row = Pick(6); row > 0; --row) {
      s += "-1,0\nBOT\n";
      for (int c = 0; c < columns; ++c) s += Pick(3) == 0 ? "0," + Text(5) + "\nV\n" : "1,0\n\"" + cell() + "\"\n";
    }
    return s + "-1,0\nEOD\n";
  }
  std::string JurisdictionName() {
    static const char* kNames[] = {"AL", "CA", "Texas", "Ontario", "0", "05", "federal", "ca"};
    return Pick(3) == 0 ? Text(6) : PickOf(kNames);
  }
  std::string DataFile(bool jurisdiction, int shape) {
    if (Pick(5) == 0) return Bytes(300);
    if (!jurisdiction) {
      if (shape == 0) return CsvLines(1 + Pick(6));
      if (shape == 1) return DifFile(1 + Pick(5), [&] { return Text(10); });
      std::string s;
      for (int line = Pick(12); line > 0; --line) s += (Pick(4) == 0 ? "" : Text(30)) + "\n";
      return s;
    }
    if (shape == 0) {  // tabular
      std::string s = "Type,Category," + JurisdictionName() + "," + JurisdictionName() + "\n";
      return s + CsvLines(4);
    }
    if (shape == 1) {  // listed
      std::string s;
      for (int record = Pick(4); record > 0; --record) {
        s += Text(6) + "," + Text(6) + "," + Text(4) + (Pick(2) ? ",R" : "") + "\n";
        for (int j = Pick(4); j > 0; --j) s += " " + JurisdictionName() + "," + Text(5) + (Pick(3) ? "" : ",T") + "\n";
      }
      return s;
    }
    return DifFile(2 + Pick(3), [&] { return Pick(2) ? JurisdictionName() : Text(8); });
  }
  std::string FileName(int shape) {
    static const char* kExtensions[] = {".csv", ".dif", ".txt"};
    std::string name;
    for (char c : Text(6))
      if (c != '/' && c != '\0') name.push_back(c);
    return name + "-" + std::to_string(counter++) + kExtensions[shape];
  }

  test::ScopedHome home;
  int counter = 0;
};

TEST_F(GeneratedReads, EveryReturnedTextParses) {
  // Templates whose names and item lists carry awkward characters.
  const std::string odd = "Q&A <\"1\">: x";
  test::WriteFile(home.file("import.ini"),
                  "[Import:" + odd + "]\nInfo=COA\nFsiType=FEDERAL\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\n"
                  "TRC=2 1 0\nTCC=3 1 0\n"
                  "[Import:JE]\nInfo=JE\nJE_Type=0 1 0\nJE_Number=1 1 1\nJE_Caption=2 1 0\nAccount_Number=3 1 224\n"
                  "Account_Balance=4 1 224\n"
                  "[Import:ENT]\nInfo=ENTITY\nCompany_Name=0 4 0\nZip/Postal_Code=1 1 0\nSales&Use_Binder_Name=2 1 0\n"
                  "[Import:PAY]\nInfo=TAXPAY\nCompany_Number=0 1 0\nPostal_Code=1 1 0\nPrior_Year_Overpayment=2 1 0\n"
                  "[Import:WP]\nInfo=INSURWP\nA&B=0 1 0\nC:D=1 1 0\n"
                  "[Import:INTL]\nInfo=INTL\nIntlType=SOURCE CODE\nSource Code=0 1 0\nDescription=1 1 0\n");
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ASSERT_TRUE(service.EstablishTemplateStore());
  service.InitInsurWPTemplate("A&B;C:D;<E>;\"F\"");
  service.PutCategoryTypes("Income,Deduction");
  service.SetCountryOfOperation("9", "CA", "Canada");

  static const char* kPlainTemplates[] = {"Q&A <\"1\">: x", "JE", "ENT", "PAY", "WP", "CATEGORY", "TIMAP", "CTDMAP"};
  static const char* kPlainCodes[] = {"FCOA", "FBJ", "FRJ", "JEBAL", "ENTITY", "TAXPAY", "INSURWP", "TCC", "TIMAP"};
  static const char* kJurisdictionCodes[] = {"LOGIC", "AABAL", "TIBAL",  "APPORT",  "LOSS",
                                             "CREDIT", "AMTACE", "CURSTI", "CATASSN", "CTPRCN"};
  for (int i = 0; i < 1500; ++i) {
    const bool jurisdiction = Pick(3) == 0;
    const int shape = Pick(3);
    const std::string path = home.file(FileName(shape));
    if (Pick(20) != 0) test::WriteFile(path, DataFile(jurisdiction, shape));
    if (Pick(4) == 0) service.FillJurisdictionCaptions("state,AL,CA,Texas," + Text(5));
    if (Pick(4) == 0) service.FillJurisdictionCaptions("prov,10,Ontario,24," + Text(5));
    if (Pick(8) == 0) service.FillJurisdictionCaptions("ti,ny;3:7," + Text(6));
    if (Pick(10) == 0) service.SetBatchIndicator(1);
    const std::string id = Pick(4) == 0 ? Text(10) : "42";

    std::string result;
    if (jurisdiction) {
      const char* code = PickOf(kJurisdictionCodes);
      service.ReadImportFile(path, code, code, id, Text(5), result);
    } else if (Pick(8) == 0) {
      service.ReadIntlImportFile(path, "INTL", "INTL", id, static_cast<int16_t>(2000 + Pick(30)),
                                 static_cast<int16_t>(Pick(100)), result);
    } else {
      const std::string code = Pick(5) == 0 ? Text(6) : PickOf(kPlainCodes);
      service.ReadImportFile(path, PickOf(kPlainTemplates), code, id, "", result);
    }
    ASSERT_EQ(fuzz::ReadOutcomeProblem(result), "") << "read " << i << " of " << path << ":\n" << result;
  }
}

}  // namespace
}  // namespace zephrin
