// Item sets: the ordered import items of each template code, their element
// names, the built-in lists of the fixed layouts and the journal-entry items.
// Beside each list, the value kind of each of its items, one letter an item
// in the list's order: T text, C code, A amount, R rate, D date, Y year,
// N whole number.
#include <string>

#include "catalogue/catalogue.h"

namespace zephrin {

std::size_t ItemCount(ItemList list) {
  if (list == nullptr) return 0;
  std::size_t n = 0;
  while (list[n][0] != '\0') ++n;
  return n;
}

const char* ItemAt(ItemList list, std::size_t i) {
  if (list == nullptr) return "";
  // Walk rather than index so that a position past the end never reads
  // beyond the terminating entry.
  for (std::size_t k = 0; k < i; ++k)
    if (list[k][0] == '\0') return "";
  return list[i];
}

// Journal-entry items and the names written for them. Items 4 to 16 are the
// ones a read switches off for reclass charts and balance reads.
const char* const kJEItems[] = {
    "Company_Number", "JE_Type", "JE_Number", "JE_Caption",
    "Sch_M_Debit_TRC", "Sch_M_Debit_TCC", "Sch_M_Debit_TCC_Caption", "Temporary_Permanent_Code",
    "Sch_M_Credit_TRC", "Sch_M_Credit_TCC", "Sch_M_Credit_TCC_Caption",
    "5471_Sch_H_Debit_TRC", "5471_Sch_H_Debit_TCC", "5471_Sch_H_DR_TCC_Cap",
    "5471 Sch_H_Credit_TRC", "5471 Sch_H_Credit_TCC", "5471 Sch_H_CR_TCC_Cap",
    "Account_Number", "Account_Balance", "Equity_Ind", "RTP_Adj_Override", "PA_Ind",
    "Special_Ind", "Transfer from Provision", "PartK1_Ind", ""};
const char kJEKinds[] = "CCCTCCTCCCTCCTCCTCACACCCC";

const char* const kJEOutputNames[] = {
    "Company_Number", "JE_Type", "JE_Number", "JE_Caption",
    "Debit_TRC", "Debit_TCC", "Debit_TCC_Caption", "Temporary_Permanent_Code",
    "Credit_TRC", "Credit_TCC", "Credit_TCC_Caption",
    "Debit_Intl_TRC", "Debit_Intl_TCC", "Debit_Intl_TCC_Caption",
    "Credit_Intl_TRC", "Credit_Intl_TCC", "Credit_Intl_TCC_Caption",
    "Account_Number", "Account_Balance", "Equity_Ind", "RTP_Adj_Override", "PA_Ind",
    "Special_Ind", "Transfer_From_Provision", "PartK1_Ind", ""};

namespace {

const char* const kCoaItems[] = {
    "Company_Number", "Account_Number", "Account_Caption", "Account_Balance", "TRC", "TCC",
    "Account_Type", "SIC_Code", "Activity_Number", "Activity_Name", ""};
const char kCoaKinds[] = "CCTACCCCCT";

const char* const kTccItems[] = {"TRC", "TCC", "TCC_Caption", ""};
const char kTccKinds[] = "CCT";

const char* const kIxrefItems[] = {
    "Company_Number", "Federal_Account_Number", "Federal_Account_Caption",
    "Intl_Account_Number", "Intl_Account_Caption", ""};
const char kIxrefKinds[] = "CCTCT";

const char* const kFcaxrefItems[] = {
    "Company_Number", "Prior_Year_Federal_Account_Number", "PRY_Federal_Account_Caption",
    "Current_Year_Federal_Account_Number", "CUR_Federal_Account_Caption", ""};
const char kFcaxrefKinds[] = "CCTCT";

const char* const kTajxrefItems[] = {
    "Company_Number", "Prior_Year_Tax_Adjustment_Number", "PRY_Tax_Adjustment_Caption",
    "Current_Year_Tax_Adjustment_Number", "CUR_Tax_Adjustment_Caption", ""};
const char kTajxrefKinds[] = "CCTCT";

const char* const kEntityItems[] = {
    "Entity_Type", "Return_Type", "Company_Name", "Company_Name_Line_2", "Company_Number",
    "Street_Address", "City", "State", "Zip/Postal_Code", "Country", "Province",
    "Federal_Employer_I.D._Number", "Fiscal_Year_Beginning_Date", "Fiscal_Year_Ending_Date",
    "Date_of_Incorp/Date_Business_Started", "Incorporation_State", "International_Filing_Type",
    "International_Div_Con_Data_Entry_Level",
    "International_Div_Con_Intercompany_Data_Entry_Level", "Income_Tax_Binder_Name",
    "Income_Tax_Binder_Year", "Reference_ID_Number", "Provision_Binder_Name",
    "Provision_Binder_Year", "Sales&Use_Binder_Name", "Sales&Use_Binder_Year",
    "Sales&Use_Binder_Version", ""};
const char kEntityKinds[] = "CCTTCTTCCCCCDDDCCCCTYCTYTYC";

const char* const kEntityElements[] = {
    "Entity_Type", "Return_Type", "Name", "Name2", "Conum", "Address", "City", "State", "Zip",
    "Country", "Province", "FEIN", "FY_Begin", "FY_End", "Inc_Date", "Inc_State", "IFT",
    "DivConLev", "DivConICLevel", "Tax_BName", "Tax_BYear", "Ref_ID_Number", "Prov_BName",
    "Prov_BYear", "SU_BName", "SU_BYear", "SU_BVers", ""};

const char* const kTaxRateItems[] = {
    "Jurisdiction_Name", "Jurisdiction", "Current_EOY_Rate", "Deferred_BOY_Rate",
    "Deferred_EOY_Rate", ""};
const char kTaxRateKinds[] = "TCRRR";

const char* const kM3MapItems[] = {"Sch_M-3_Code", "Account_Number", ""};
const char kM3MapKinds[] = "CC";

const char* const kNaicLineMapItems[] = {"NAIC_Map_Code", "Account_Number", ""};
const char kNaicLineMapKinds[] = "CC";

const char* const kM3BalItems[] = {
    "Company_Number", "Sch_M-3_Code", "Company_Name", "FEIN", "FEIN_Reason", "Entity_Type",
    "Class_of_Voting_Stock", "Percent_of_Voting_Stock", "EOY_Profit_Percent",
    "EOY_Loss_Percent", "Description", "Tax_Shelter_Name", "Tax_Shelter_Registration_Number",
    "Type_of_Reportable_Transaction", "Balance_after_Tax_Reclass", "Temporary_Difference",
    "Permanent_Difference", ""};
const char kM3BalKinds[] = "CCTCCCTRRRTTCCAAA";

const char* const kM2BalItems[] = {"Company_Number", "TRC", "TCC", "Amount", "Date", ""};
const char kM2BalKinds[] = "CCCAD";

// The blank before the hyphen in the third key is how saved templates spell it.
const char* const kTaxExpItems[] = {
    "Company_Number", "Postal_Code", "State_Taxes -_Payments", "State_Taxes -_Refunds",
    "Local_Taxes_-_Payments", "Local_Taxes_-_Refunds", "Other_Income_Taxes_-_Payments",
    "Other_Income_Taxes_-_Refunds", "Capital/Net_Worth_Taxes_-_Payments",
    "Capital/Net_Worth_Taxes_-_Refunds", "Business/Gross_Receipt_-_Payments",
    "Business/Gross_Receipt_-_Refunds", "Property_Taxes_-_Real", "Property_Taxes_-_Personal",
    "Sales_Tax", "Use_Tax", "Payroll_Taxes_-_SUTA", "Payroll_Taxes_-_Local",
    "Other_Taxes_-_Payments", "Other_Taxes_-_Refunds", ""};
const char kTaxExpKinds[] = "CCAAAAAAAAAAAAAAAAAA";

const char* const kTaxExpElements[] = {
    "Company_Number", "Postal_Code", "State_Payments", "State_Refunds", "Local_Payments",
    "Local_Refunds", "Other_Inc_Payments", "Other_Inc_Refunds", "Capital_Payments",
    "Capital_Refunds", "Business_Payments", "Business_Refunds", "Property_Real",
    "Property_Personal", "Sales_Tax", "Use_Tax", "Payroll_SUTA", "Payroll_Local",
    "Other_Payments", "Other_Refunds", ""};

const char* const kTaxPayItems[] = {
    "Company_Number", "Postal_Code", "Prior_Year_Overpayment", "1st_Quarter_Date",
    "1st_Quarter_Payment", "2nd_Quarter_Date", "2nd_Quarter_Payment", "3rd_Quarter_Date",
    "3rd_Quarter_Payment", "4th_Quarter_Date", "4th_Quarter_Payment", "1st_Extension_Date",
    "1st_Extension_Payment", "2nd_Extension_Payment", "Other_Payments", ""};
const char kTaxPayKinds[] = "CCADADADADADAAA";

const char* const kTaxPayElements[] = {
    "Company_Number", "Postal_Code", "Prior_Year_Overpayment", "Q1_Date", "Q1_Payment",
    "Q2_Date", "Q2_Payment", "Q3_Date", "Q3_Payment", "Q4_Date", "Q4_Payment", "Ext1_Date",
    "Ext_Payment", "Ext2_Payment", "Other_Payments", ""};

const char* const kExRateItems[] = {
    "Company_Number", "Account", "FC/LC", "US$/FC", "US$/RFC (2015 and later)", ""};
const char kExRateKinds[] = "CCRRR";

const char* const kExRateElements[] = {
    "Company_Number", "Account", "FC_TO_LC", "US_TO_FC", "RFC_TO_US", ""};

const char* const kPk1MapItems[] = {"LineNum", "Adj_Number", "AcctNum", ""};
const char kPk1MapKinds[] = "CCC";

const char* const kPk1MapElements[] = {"Line_Number", "Adj_Number", "Acct_Number", ""};

const char* const kInsurPyDacItems[] = {
    "Company_Number", "First prior year - 120 mon", "First prior year - 60 mon",
    "Second prior year - 120 mon", "Second prior year - 60 mon", "Third prior year - 120 mon",
    "Third prior year - 60 mon", "Fourth prior year - 120 mon", "Fourth prior year - 60 mon",
    "Fifth prior year - 120 mon", "Fifth prior year - 60 mon", "Sixth prior year - 120 mon",
    "Seventh prior year - 120 mon", "Eighth prior year - 120 mon", "Ninth prior year - 120 mon",
    "Tenth prior year - 120 mon", ""};
const char kInsurPyDacKinds[] = "CAAAAAAAAAAAAAAA";

const char* const kInsurPyDacElements[] = {
    "Company_Number", "FirstPY120", "FirstPY60", "SecondPY120", "SecondPY60", "ThirdPY120",
    "ThirdPY60", "FourthPY120", "FourthPY60", "FifthPY120", "FifthPY60", "SixthPY120",
    "SeventhPY120", "EighthPY120", "NinthPY120", "TenthPY120", ""};

const char* const kConsolMembersItems[] = {"CompanyNumber", "BinderName", ""};
const char kConsolMembersKinds[] = "CT";

// Lists of the built-in layouts; their key names are also their element names.
const char* const kCategoryItems[] = {"Type", "Category", "Subcategory", "ImpliedSign", ""};
const char kCategoryKinds[] = "CCCC";

const char* const kTiMapItems[] = {
    "Jurisdiction", "Chart_Name", "EORG", "Tax_Form_Lines", "Child_EORG",
    "Sub-Tax_Form_Lines", "Subcategory_Code", ""};
const char kTiMapKinds[] = "CTCCCCC";

const char* const kCurFedTiItems[] = {"Company_Number", "Desc", "Import_Code", "RTP_amt", ""};
const char kCurFedTiKinds[] = "CTCA";

const char* const kM3CodeItems[] = {
    "System_Key", "Form", "Form_Line_Number", "Form_Line_Description", "Form_Line_Code",
    "Detail_Line_Code", "Detail_Line_Description", ""};
const char kM3CodeKinds[] = "CCCTCCT";

const char* const kCtdGrpItems[] = {"Sort", "Code", "Description", ""};
const char kCtdGrpKinds[] = "NCT";

const char* const kCtdMapItems[] = {"CategoryType", "Category", "SubCategory", "PartAA_Desc", ""};
const char kCtdMapKinds[] = "CCCT";

const ItemSet kBuiltInItemSets[] = {
    {"CAT", kCategoryItems, nullptr, kCategoryKinds},
    {"TICAT", kCategoryItems, nullptr, kCategoryKinds},
    {"TIMAP", kTiMapItems, nullptr, kTiMapKinds},
    {"CURFEDTI", kCurFedTiItems, nullptr, kCurFedTiKinds},
    {"AMT", kCurFedTiItems, nullptr, kCurFedTiKinds},
    {"M3CODE", kM3CodeItems, nullptr, kM3CodeKinds},
    {"CTDGRP", kCtdGrpItems, nullptr, kCtdGrpKinds},
    {"CTDMAP", kCtdMapItems, nullptr, kCtdMapKinds},
    {"PAAMAP", kCtdMapItems, nullptr, kCtdMapKinds},
    {"", nullptr, nullptr, nullptr},
};

// Element names the plain readers write for these host codes.
struct ReaderNames {
  const char* code;
  ItemList elements;
};
const ReaderNames kReaderElementNames[] = {
    {"ENTITY", kEntityElements},   {"TAXPAY", kTaxPayElements},
    {"TAXEXP", kTaxExpElements},   {"EXRATE", kExRateElements},
    {"PK1MAP", kPk1MapElements},   {"INSURPYDAC", kInsurPyDacElements},
    {"", nullptr},
};

const ItemSet* FindIn(const ItemSet* table, std::string_view code) {
  for (; table->code[0] != '\0'; ++table)
    if (code == table->code) return table;
  return nullptr;
}

}  // namespace

// The item sets an import type selects. INSURWP's list is handed over by the
// host at run time, so its entry carries no list.
const ItemSet kItemSets[] = {
    {"COA", kCoaItems, nullptr, kCoaKinds},
    {"ICOA", kCoaItems, nullptr, kCoaKinds},
    {"JE", kJEItems, kJEOutputNames, kJEKinds},
    {"TCC", kTccItems, nullptr, kTccKinds},
    {"IXREF", kIxrefItems, nullptr, kIxrefKinds},
    {"FCAXREF", kFcaxrefItems, nullptr, kFcaxrefKinds},
    {"TAJXREF", kTajxrefItems, nullptr, kTajxrefKinds},
    {"ENTITY", kEntityItems, kEntityElements, kEntityKinds},
    {"TAXRATE", kTaxRateItems, nullptr, kTaxRateKinds},
    {"M3MAP", kM3MapItems, nullptr, kM3MapKinds},
    {"NAICLINEMAP", kNaicLineMapItems, nullptr, kNaicLineMapKinds},
    {"M3BAL", kM3BalItems, nullptr, kM3BalKinds},
    {"M2BAL", kM2BalItems, nullptr, kM2BalKinds},
    {"TAXEXP", kTaxExpItems, kTaxExpElements, kTaxExpKinds},
    {"TAXPAY", kTaxPayItems, kTaxPayElements, kTaxPayKinds},
    {"EXRATE", kExRateItems, kExRateElements, kExRateKinds},
    {"PK1MAP", kPk1MapItems, kPk1MapElements, kPk1MapKinds},
    {"INSURPYDAC", kInsurPyDacItems, kInsurPyDacElements, kInsurPyDacKinds},
    {"CONSOLMEMBERS", kConsolMembersItems, nullptr, kConsolMembersKinds},
    {"INSURWP", nullptr, nullptr, nullptr},
    {"", nullptr, nullptr, nullptr},
};

const ItemSet* FindEditorItemSet(std::string_view code) { return FindIn(kItemSets, code); }

const ItemSet* FindItemSet(std::string_view code) {
  if (const ItemSet* set = FindIn(kItemSets, code)) return set;
  return FindIn(kBuiltInItemSets, code);
}

ItemList ReaderElementNames(std::string_view hostCode) {
  for (const ReaderNames* r = kReaderElementNames; r->code[0] != '\0'; ++r)
    if (hostCode == r->code) return r->elements;
  return nullptr;
}

const char* ValueKindLetters(ItemList keys) {
  if (keys == nullptr) return nullptr;
  for (const ItemSet* table : {kItemSets, kBuiltInItemSets})
    for (const ItemSet* set = table; set->code[0] != '\0'; ++set)
      if (set->keys == keys) return set->kinds;
  for (const IntlKind* kind = kIntlKinds; kind->keys != nullptr; ++kind)
    if (kind->keys == keys) return kind->kinds;
  return nullptr;
}

std::string ItemCaption(std::string_view keyName) {
  std::string caption(keyName);
  for (char& c : caption)
    if (c == '_') c = ' ';
  return caption;
}

}  // namespace zephrin
