// A new format needs only a source of rows: rows handed to the record builder
// by a source written here (a list of rows) give the document the
// comma-separated file of the same rows gives, for plain records, chart
// records and journal entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "readers/record_builder.h"
#include "service/xml_wrapper.h"
#include "test_util.h"

namespace zephrin {
namespace {

// Rows from a list, from the plan's first row on; an empty row is a blank one.
class ListSource : public RowSource {
 public:
  ListSource(std::vector<std::vector<std::string>> rows, int32_t beginRow)
      : m_rows(std::move(rows)), m_next(static_cast<std::size_t>(std::max(beginRow, 0))) {}
  bool Next(Row& row) override {
    if (m_next >= m_rows.size()) return false;
    row.Clear();
    row.index = static_cast<int32_t>(m_next);
    for (const std::string& cell : m_rows[m_next]) {
      row.cells.push_back({static_cast<uint32_t>(row.cells.size()), cell});
      row.textBytes += cell.size();
    }
    row.blank = m_rows[m_next].empty();
    m_columns = std::max(m_columns, static_cast<int>(m_rows[m_next].size()));
    ++m_next;
    return true;
  }
  std::size_t consumed() const override { return m_next; }
  std::size_t size() const override { return m_rows.size(); }
  int templateColumns() const override { return m_columns; }

 private:
  std::vector<std::vector<std::string>> m_rows;
  std::size_t m_next;
  int m_columns = 0;
};

struct Case {
  const char* name;
  const char* store;  // the template GEN
  const char* type;
  std::vector<std::vector<std::string>> rows;
};

const Case kCases[] = {
    {"plain_records",
     "[Import:GEN]\nInfo=ENTITY\nEntity_Type=0 2 0\nCompany_Name=1 2 0\nCity=3 2 0\n",
     "ENTITY",
     {{"Type", "Name", "x", "City"}, {"C", "Acme & Co", "", "Austin"}, {}, {"S", "\"Quoted\"", "y"}}},
    {"chart_records",
     "[Import:GEN]\nInfo=COA\nAccount_Number=0 1 0\nAccount_Caption=1 1 0\nTRC=2 1 0\n",
     "FCOA",
     {{"1000", "Cash"}, {"2000", "", "20"}, {}, {"3000", "Equity", "30", "extra"}}},
    {"journal_entries",
     "[Import:GEN]\nInfo=JE\nJE_Type=0 1 0\nJE_Number=1 1 0\nJE_Caption=2 1 0\nAccount_Number=3 1 0\n"
     "Account_Balance=4 1 0\n",
     "FBJ",
     {{"A", "J1", "Accrual"},
      {},
      {"", "", "", "1000", "500"},
      {"", "", "", "2000", "-500"},
      {},
      {},
      {"A", "J2", "Reversal"},
      {},
      {"", "", "", "1000", "-500"}}},
};

class NewSource : public ::testing::TestWithParam<Case> {};

TEST_P(NewSource, GivesTheDocumentOfTheSameRowsAsCommaSeparatedText) {
  const Case& c = GetParam();
  test::ScopedHome home;
  test::WriteFile(home.file("import.ini"), std::string(c.store) + "[Import:Layout]\n1=GEN\n");
  std::string csv;
  for (const auto& row : c.rows) {
    for (std::size_t i = 0; i < row.size(); ++i) csv += (i ? "," : "") + row[i];
    csv += "\n";
  }
  test::WriteFile(home.file("rows.csv"), csv);
  RecordingUserInterface ui;
  CxmlWrapper service(&ui);
  ASSERT_TRUE(service.EstablishTemplateStore());
  ReadRequest request;
  request.importFile = home.file("rows.csv");
  request.templateName = "GEN";
  request.importType = c.type;
  request.id = "7";
  const ReadResult fromFile = service.Read(request);
  ASSERT_EQ(fromFile.outcome, ReadOutcome::kDocument) << fromFile.text.view();

  const Expected<ReadPlan> plan = service.PlanRead(request);
  ASSERT_TRUE(plan) << plan.error().message;
  ListSource source(c.rows, plan->beginRow);
  ReadHooks hooks;
  RecordBuilder builder(*plan, hooks);
  const ReadResult fromRows = builder.Build(source);
  EXPECT_EQ(fromRows.outcome, ReadOutcome::kDocument);
  EXPECT_EQ(fromRows.text.view(), fromFile.text.view());
}

INSTANTIATE_TEST_SUITE_P(Reads, NewSource, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zephrin
