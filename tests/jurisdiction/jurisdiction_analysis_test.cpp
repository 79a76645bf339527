// Source analysis: which shape a jurisdiction file has and how many of its
// leading columns are descriptive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jurisdiction/logic_imp.h"
#include "test_util.h"

namespace zephrin {
namespace {

struct AnalysisCase {
  const char* name;
  std::string text;
  const char* type;
  bool batch;
  std::vector<const char*> lists;
  int32_t result;
  int32_t format;  // 0 tabular, 1 DIF, 2 listed
  int32_t categoryCol, totalCols, totalRows;
};

std::string Dif(const std::string& counts) { return "TABLE\n0,1  \n" + counts + "DATA\n0,0\n\"\"\n-1,0\n"; }

class Analysis : public ::testing::TestWithParam<AnalysisCase> {};

TEST_P(Analysis, FindsShapeAndColumns) {
  const AnalysisCase& c = GetParam();
  test::TempDir dir;
  LogicImp reader;
  for (const char* list : c.lists) reader.FillJurisdictionCaption(list);
  JurisdictionRequest request;
  request.dataFileOs = request.dataFile = dir.file("data.csv");
  test::WriteFile(request.dataFileOs, c.text);
  request.importType = c.type;
  request.batch = c.batch;
  ReadResult failure;
  const Expected<SourceShape> shape = reader.AnalyzeSource(request, &failure);
  ASSERT_EQ(shape.ok(), c.result == 0);
  EXPECT_EQ(failure.outcome, ReadOutcome::kEmpty);
  EXPECT_EQ(failure.text.view(), "");
  if (!shape) return;
  EXPECT_EQ(static_cast<int>(shape->layout), c.format);
  EXPECT_EQ(shape->categoryCol, c.categoryCol);
  EXPECT_EQ(shape->totalCols, c.totalCols);
  EXPECT_EQ(shape->totalRows, c.totalRows);
}

const char* const kState = "state,AL,CA,NY,Texas";

const AnalysisCase kCases[] = {
    // Tabular: the third field of the first two rows decides.
    {"known_third_field", "Type,Category,AL\nIncome,Sales,CA\n", "AABAL", false, {kState}, 0, 0, 2, 3, 0},
    {"unknown_in_second_row", "Type,Category,AL\nIncome,Sales,Retail\n", "AABAL", false, {kState}, 0, 0, 3, 3, 0},
    {"third_row_not_examined", "a,b,AL\nc,d,CA\ne,f,zz\n", "AABAL", false, {kState}, 0, 0, 2, 3, 0},
    {"batch_known", "Co,Type,AL\n", "AABAL", true, {kState}, 0, 0, 3, 3, 0},
    {"batch_unknown", "Co,Type,Category,AL\n", "AABAL", true, {kState}, 0, 0, 4, 4, 0},
    {"tibal_ignores_third_field", "Desc,Code,zz\n", "TIBAL", false, {kState}, 0, 0, 2, 3, 0},
    {"apport_all_jurisdictions", "AL,CA,NY\n", "APPORT", false, {kState}, 0, 0, 0, 3, 0},
    {"apport_batch", "Co,AL,CA\n", "APPORT", true, {kState}, 0, 0, 1, 3, 0},
    // A number is no jurisdiction either: a data row decides as a header row does.
    {"apport_numbers_in_second_row", "AL,CA,NY\n1,2,3\n", "APPORT", false, {kState}, 0, 0, 3, 3, 0},
    {"apport_unknown_third", "Type,Category,Sub,AL\n", "APPORT", false, {kState}, 0, 0, 3, 4, 0},
    {"apport_unknown_third_batch", "Co,Type,Sub,AL\n", "APPORT", true, {kState}, 0, 0, 4, 4, 0},
    {"zero_is_a_code", "a,b,0\n", "AABAL", false, {"state,00000000"}, 0, 0, 2, 3, 0},
    // The line end is the last character: a comma before it leaves an empty field.
    {"trailing_comma", "a,b,AL,\n", "AABAL", false, {kState}, 0, 0, 2, 4, 0},
    {"trailing_comma_at_end_of_file", "a,b,AL,", "AABAL", false, {kState}, 0, 0, 2, 3, 0},
    {"quoted_comma", "\"a,b\",c,AL\n", "AABAL", false, {kState}, 0, 0, 2, 3, 0},
    // Listed: an indented line naming a known jurisdiction.
    {"listed", "Income,x,y\n  Texas,12\n", "AABAL", false, {kState}, 0, 2, 3, 0, 0},
    {"indented_unknown_stays_tabular", "Income,x,y\n  Nowhere,12\n", "AABAL", false, {kState}, 0, 0, 3, 3, 0},
    {"tab_indent_is_a_row", "Income,x,y\n\tTexas,12\n", "AABAL", false, {kState}, 0, 0, 3, 2, 0},
    {"catassn_prov_kind", "A,B,C\n  on prov,1\n", "CATASSN", false, {"prov,1,on"}, 0, 2, 2, 0, 0},
    {"catassn_state_kind", "A,B,C\n  05 state,1\n", "CATASSN", false, {"prov,1,on", "state,05000000"}, 0, 2, 2, 0, 0},
    {"prov_looks_in_province_list", "A,B,C\n  Ontario,1\n", "LOSS", false, {"prov,10,Ontario"}, 0, 2, 2, 0, 0},
    // DIF: the first two lines; the counts exchanged for the spreadsheet mark.
    {"dif", Dif("VECTORS\n0,3\n\"\"\nTUPLES\n0,2\n\"\"\n"), "AABAL", false, {kState}, 0, 1, 0, 3, 2},
    {"dif_excel", Dif("\"EXCEL\"\nVECTORS\n0,10\n\"\"\nTUPLES\n0,4\n\"\"\n"), "AABAL", false, {kState}, 0, 1, 0, 4, 10},
    {"dif_without_rows", Dif("VECTORS\n0,3\n\"\"\n"), "AABAL", false, {kState}, 1, 1, 0, 0, 0},
    {"table_without_dif_mark", "TABLE\n0,2\n", "AABAL", false, {kState}, 0, 0, 2, 2, 0},
    {"empty_file", "", "AABAL", false, {kState}, 0, 0, 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Sources, Analysis, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Analysis, DifHeaderRowSetsDescriptiveColumns) {
  // The DIF header row goes through the same rule: a third cell that names
  // no jurisdiction makes three descriptive columns.
  test::TempDir dir;
  LogicImp reader;
  reader.FillJurisdictionCaption(kState);
  JurisdictionRequest request;
  request.dataFileOs = dir.file("data.dif");
  test::WriteFile(request.dataFileOs,
                  "TABLE\n0,1\n\"\"\nVECTORS\n0,4\n\"\"\nTUPLES\n0,3\n\"\"\nDATA\n0,0\n\"\"\n-1,0\nBOT\n1,0\n\"Type\"\n"
                  "1,0\n\"Category\"\n1,0\n\"Subcategory\"\n1,0\n\"AL\"\n-1,0\nEOD\n");
  request.importType = "AABAL";
  const Expected<SourceShape> shape = reader.AnalyzeSource(request);
  ASSERT_TRUE(shape);
  EXPECT_EQ(shape->layout, JurisdictionShape::kDif);
  EXPECT_EQ(shape->categoryCol, 3);
  EXPECT_EQ(shape->totalCols, 4);
  EXPECT_EQ(shape->difDataPos, std::string("TABLE\n0,1\n\"\"\nVECTORS\n0,4\n\"\"\nTUPLES\n0,3\n\"\"\nDATA\n0,0\n\"\"\n-1,0\n").size());
}

TEST(CategoryTypes, ComparedWithoutRegardToCase) {
  LogicImp reader;
  reader.PutCategoryTypes("Income, DEDUCTION,,credit");
  EXPECT_EQ(reader.FindCategoryType("income"), 1);
  EXPECT_EQ(reader.FindCategoryType("Deduction"), 2);
  EXPECT_EQ(reader.FindCategoryType(""), 3);  // an empty token is stored too
  EXPECT_EQ(reader.FindCategoryType("CREDIT"), 4);
  EXPECT_EQ(reader.FindCategoryType("credits"), 0);
}

}  // namespace
}  // namespace zephrin
