// The 100 international kinds: type name (root attribute TYPE), display name
// (editor kind list; stored upper-cased as "IntlType"), key names and the
// element names written for them. Kind 50 reads no items. Beside each key
// list, the value kind of each key, one letter a key: T text, C code,
// A amount, R rate, D date, Y year, N whole number.
#include <algorithm>

#include "catalogue/catalogue.h"
#include "platform/text.h"

namespace zephrin {
namespace {

// 0 DASTM Chart of Accounts
const char* const kKind0Keys[] = {
    "Account", "DASTM Class", "Conversion Method", "",
};
const char kKind0Kinds[] = "CCC";
const char* const kKind0Elements[] = {
    "Account", "Class", "Method", "",
};

// 1 Exchange Rate
const char* const kKind1Keys[] = {
    "Country Abbreviation", "Beginning Rate", "Ending Rate", "Wt Avg Rate", "",
};
const char kKind1Kinds[] = "CRRR";
const char* const kKind1Elements[] = {
    "country_abbrev", "beg_rate", "end_rate", "period_rate", "",
};

// 2 Source Code
const char* const kKind2Keys[] = {
    "Source Code", "Description", "FTC Type", "US or Foreign Source", "",
};
const char kKind2Kinds[] = "CTCC";
const char* const kKind2Elements[] = {
    "source_code", "description", "ftc_type", "us_foreign_source", "",
};

// 3 MBC-User Defined Apportionment Base
const char* const kKind3Keys[] = {
    "Apportionment Base Code", "Description", "Source Code", "Amount", "",
};
const char kKind3Kinds[] = "CTCA";
const char* const kKind3Elements[] = {
    "base_code", "description", "source_code", "amount", "",
};

// 4 MBC-Composite Apportionment Base
const char* const kKind4Keys[] = {
    "Apportionment Base Code", "Description", "Component Base Code", "Weight Percent", "",
};
const char kKind4Kinds[] = "CTCR";
const char* const kKind4Elements[] = {
    "base_code", "description", "component_base_code", "weight_pct", "",
};

// 5 MBC-Source Code Apportionment Base
const char* const kKind5Keys[] = {
    "Apportionment Base Code", "Description", "Source Code", "Include or Exclude", "Reverse Sign",
    "",
};
const char kKind5Kinds[] = "CTCCC";
const char* const kKind5Elements[] = {
    "base_code", "description", "source_code", "include_exclude", "reverse_sign", "",
};

// 6 MBC-Account Types Apportionment Base
const char* const kKind6Keys[] = {
    "Apportionment Base Code", "Description", "Account Type", "",
};
const char kKind6Kinds[] = "CTC";
const char* const kKind6Elements[] = {
    "base_code", "description", "account_type", "",
};

// 7 MBC-SIC Apportionment Base
const char* const kKind7Keys[] = {
    "Apportionment Base Code", "Description", "SIC Code", "SIC Description", "",
};
const char kKind7Kinds[] = "CTCT";
const char* const kKind7Elements[] = {
    "base_code", "description", "sic_code", "sic_description", "",
};

// 8 DASTM Exchange Rate
const char* const kKind8Keys[] = {
    "Entity Number", "Period", "Beginning Rate", "Ending Rate", "Average Rate", "",
};
const char kKind8Kinds[] = "CCRRR";
const char* const kKind8Elements[] = {
    "Company_Number", "period", "beg_rate", "end_rate", "avg_rate", "",
};

// 9 DASTM Historical Amounts
const char* const kKind9Keys[] = {
    "Entity Number", "Account", "Functional Currency Amount", "Historical Dollar Amount", "",
};
const char kKind9Kinds[] = "CCAA";
const char* const kKind9Elements[] = {
    "Company_Number", "account", "fc_amount", "hist_usd_amount", "",
};

// 10 DASTM Income Statement/Balance Sheet
const char* const kKind10Keys[] = {
    "Entity Number", "Account", "Beginning Balance", "Ending Balance",
    "Income Statement or Balance Sheet", "",
};
const char kKind10Kinds[] = "CCAAC";
const char* const kKind10Elements[] = {
    "Company_Number", "account", "beg_balance", "end_balance", "is_bs_ind", "",
};

// 11 DASTM Sourcing of Allocable Gain/Loss
const char* const kKind11Keys[] = {
    "Entity Number", "Source Code", "Income Category", "Gain or Loss Amount", "",
};
const char kKind11Kinds[] = "CCCA";
const char* const kKind11Elements[] = {
    "Company_Number", "source_code", "income_category", "gain_loss_amount", "",
};

// 12 Remittance
const char* const kKind12Keys[] = {
    "Entity Number", "Remittance Date", "Income Category", "Functional Currency Amount",
    "Exchange Rate", "",
};
const char kKind12Kinds[] = "CDCAR";
const char* const kKind12Elements[] = {
    "Company_Number", "remit_date", "income_category", "fc_amount", "exch_rate", "",
};

// 13 Withholding Tax
const char* const kKind13Keys[] = {
    "Entity Number", "Payor Entity", "Date Paid", "Income Category", "Withholding Tax Amount",
    "Exchange Rate", "",
};
const char kKind13Kinds[] = "CCDCAR";
const char* const kKind13Elements[] = {
    "Company_Number", "Payor_entity_id", "date_paid", "income_category", "wh_tax_amount",
    "exch_rate", "",
};

// 14 Tax Payment
const char* const kKind14Keys[] = {
    "Entity Number", "Income Category", "Tax Type", "Date Paid", "Foreign Currency Amount",
    "Exchange Rate", "US Dollar Amount", "",
};
const char kKind14Kinds[] = "CCCDARA";
const char* const kKind14Elements[] = {
    "Company_Number", "income_category", "tax_type", "date_paid", "fc_amount", "exch_rate",
    "usd_amount", "",
};

// 15 Schedule M Chart
const char* const kKind15Keys[] = {
    "Entity Number", "Line Number", "Filer Amount", "Domestic Controlled Amount",
    "Foreign Controlled Amount", "Ten Percent Shareholder Amount",
    "Controlling Shareholder Amount", "",
};
const char kKind15Kinds[] = "CCAAAAA";
const char* const kKind15Elements[] = {
    "Company_Number", "line_number", "filer_amount", "domestic_ctrl_amount",
    "foreign_ctrl_amount", "shareholder_amount", "ctrl_shareholder_amount", "",
};

// 16 Sourcing Workpaper
const char* const kKind16Keys[] = {
    "Entity Number", "Account", "Source Code", "Amount", "",
};
const char kKind16Kinds[] = "CCCA";
const char* const kKind16Elements[] = {
    "Company_Number", "account", "source_code", "amount", "",
};

// 17 Sourcing Workpaper - Country Detail
const char* const kKind17Keys[] = {
    "Entity Number", "Account", "Country Code", "Amount", "Income Category", "",
};
const char kKind17Kinds[] = "CCCAC";
const char* const kKind17Elements[] = {
    "Company_Number", "account", "country_code", "amount", "income_category", "",
};

// 18 Intercompany Payments - Dividends
const char* const kKind18Keys[] = {
    "Entity Number", "Recipient Entity", "Date Paid", "Payor Amount", "Recipient Amount",
    "Withholding Tax", "Exchange Rate", "Distribution Type", "",
};
const char kKind18Kinds[] = "CCDAAARC";
const char* const kKind18Elements[] = {
    "Company_Number", "Recip_entity_id", "date_paid", "payor_amount", "recip_amount",
    "withholding_tax", "exch_rate", "distribution_type", "",
};

// 19 Intercompany Payments - Rent
const char* const kKind19Keys[] = {
    "Entity Number", "Recipient Entity", "Date Paid", "Rent Paid", "Withholding Tax",
    "Exchange Rate", "Income Category", "",
};
const char kKind19Kinds[] = "CCDAARC";
const char* const kKind19Elements[] = {
    "Company_Number", "Recip_entity_id", "date_paid", "rent_paid", "withholding_tax", "exch_rate",
    "income_category", "",
};

// 20 Intercompany Payments - Royalties
const char* const kKind20Keys[] = {
    "Entity Number", "Recipient Entity", "Date Paid", "Royalties Paid", "Withholding Tax",
    "Exchange Rate", "Income Category", "",
};
const char kKind20Kinds[] = "CCDAARC";
const char* const kKind20Elements[] = {
    "Company_Number", "Recip_entity_id", "date_paid", "royalty_paid", "withholding_tax",
    "exch_rate", "income_category", "",
};

// 21 Intercompany Payments - Interest
const char* const kKind21Keys[] = {
    "Entity Number", "Recipient Entity", "Date Paid", "Interest Paid", "Withholding Tax",
    "Exchange Rate", "Income Category", "",
};
const char kKind21Kinds[] = "CCDAARC";
const char* const kKind21Elements[] = {
    "Company_Number", "Recip_entity_id", "date_paid", "interest_paid", "withholding_tax",
    "exch_rate", "income_category", "",
};

// 22 Intercompany Receipts - Dividends
const char* const kKind22Keys[] = {
    "Entity Number", "Payor Entity", "Date Paid", "Amount", "Withholding Tax", "",
};
const char kKind22Kinds[] = "CCDAA";
const char* const kKind22Elements[] = {
    "Company_Number", "Payor_entity_id", "date_paid", "amount", "withholding_tax", "",
};

// 23 Intercompany Receipts - RRI
const char* const kKind23Keys[] = {
    "Entity Number", "Payor Entity", "Rent Received", "Royalties Received", "Interest Received",
    "",
};
const char kKind23Kinds[] = "CCAAA";
const char* const kKind23Elements[] = {
    "Company_Number", "Payor_entity_id", "rent_received", "royalty_received", "interest_received",
    "",
};

// 24 Current Year Taxes Paid or Accrued
const char* const kKind24Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Date Paid", "Foreign Currency Amount",
    "Exchange Rate", "US Dollar Amount", "",
};
const char kKind24Kinds[] = "CCCDARA";
const char* const kKind24Elements[] = {
    "Company_Number", "income_category", "country_code", "date_paid", "fc_amount", "exch_rate",
    "usd_amount", "",
};

// 25 Foreign Taxes Paid or Accrued
const char* const kKind25Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Date Paid", "Paid or Accrued",
    "Conversion Rate", "Withheld on Dividends", "Withheld on Interest",
    "Withheld on Rents and Royalties", "Withheld on Section 863(b) Income",
    "Withheld on Foreign Branch Income", "Withheld on Services Income",
    "Withheld on Other Income", "Other Taxes on Section 863(b) Income",
    "Other Taxes on Foreign Branch Income", "Other Taxes on Services Income",
    "Other Taxes on Other Income", "",
};
const char kKind25Kinds[] = "CCCDCRAAAAAAAAAAA";
const char* const kKind25Elements[] = {
    "Company_Number", "income_category", "country_code", "date_paid", "paid_accrued",
    "conversion_rate", "wh_dividends", "wh_interest", "wh_rents_royalties", "wh_sec863b",
    "wh_branch", "wh_services", "wh_other", "oth_sec863b", "oth_branch", "oth_services",
    "oth_other", "",
};

// 26 Interest Apportionment - Operating Assets
const char* const kKind26Keys[] = {
    "Entity Number", "Account", "Income Category", "Source Code", "Country Code",
    "Beginning of Year Amount", "End of Year Amount", "Beginning of Year Adjustment",
    "End of Year Adjustment", "",
};
const char kKind26Kinds[] = "CCCCCAAAA";
const char* const kKind26Elements[] = {
    "Company_Number", "account", "income_category", "source_code", "country_code", "boy_amount",
    "eoy_amount", "boy_adjustment", "eoy_adjustment", "",
};

// 27 Interest Apportionment - Intercompany Debt
const char* const kKind27Keys[] = {
    "Entity Number", "Debtor Entity", "Income Category", "Beginning of Year Amount",
    "End of Year Amount", "Interest Amount", "",
};
const char kKind27Kinds[] = "CCCAAA";
const char* const kKind27Elements[] = {
    "Company_Number", "Debtor_entity_id", "income_category", "boy_amount", "eoy_amount",
    "interest_amount", "",
};

// 28 Interest Apportionment - Basis in Subsidiaries
const char* const kKind28Keys[] = {
    "Entity Number", "Subsidiary Entity", "Income Category", "Beginning Stock Basis",
    "Ending Stock Basis", "Beginning E&P Adjustment", "Ending E&P Adjustment", "",
};
const char kKind28Kinds[] = "CCCAAAA";
const char* const kKind28Elements[] = {
    "Company_Number", "Sub_entity_id", "income_category", "boy_stock_basis", "eoy_stock_basis",
    "boy_ep_adjustment", "eoy_ep_adjustment", "",
};

// 29 R&D Apportionment - Related Party Purchases
const char* const kKind29Keys[] = {
    "Entity Number", "Seller Entity", "SIC Code", "Income Category", "Purchase Amount", "",
};
const char kKind29Kinds[] = "CCCCA";
const char* const kKind29Elements[] = {
    "Company_Number", "Seller_entity_id", "sic_code", "income_category", "purchase_amount", "",
};

// 30 R&D Apportionment - Uncontrolled Sales & Other Adj.
const char* const kKind30Keys[] = {
    "Entity Number", "SIC Code", "Income Category", "Country Code", "Uncontrolled Sales",
    "Other Adjustments", "Description", "",
};
const char kKind30Kinds[] = "CCCCAAT";
const char* const kKind30Elements[] = {
    "Company_Number", "sic_code", "income_category", "country_code", "uncontrolled_sales",
    "other_adjustments", "description", "",
};

// 31 Foreign Taxes Paid or Accrued
const char* const kKind31Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Tax Type", "Date Paid",
    "Paid or Accrued", "Foreign Currency Amount", "Exchange Rate", "US Dollar Amount",
    "Section 909 Suspended Tax", "",
};
const char kKind31Kinds[] = "CCCCDCARAA";
const char* const kKind31Elements[] = {
    "Company_Number", "income_category", "country_code", "tax_type", "date_paid", "paid_accrued",
    "fc_amount", "exch_rate", "usd_amount", "sec909_suspended", "",
};

// 32 Separate Limitation Loss
const char* const kKind32Keys[] = {
    "Entity Number", "Loss Category", "Offset Category", "Year Created", "Beginning Balance",
    "Current Year Addition", "Recapture Amount", "",
};
const char kKind32Kinds[] = "CCCYAAA";
const char* const kKind32Elements[] = {
    "Company_Number", "loss_category", "offset_category", "year_created", "beg_balance",
    "cy_addition", "recapture_amount", "",
};

// 33 Qualified Deficit
const char* const kKind33Keys[] = {
    "Entity Number", "Income Category", "Qualified Activity", "Year Created", "Deficit Amount",
    "",
};
const char kKind33Kinds[] = "CCCYA";
const char* const kKind33Elements[] = {
    "Company_Number", "income_category", "qualified_activity", "year_created", "deficit_amount",
    "",
};

// 34 Subpart F Recapture
const char* const kKind34Keys[] = {
    "Entity Number", "Income Category", "Year Created", "Beginning Balance", "Recapture Amount",
    "",
};
const char kKind34Kinds[] = "CCYAA";
const char* const kKind34Elements[] = {
    "Company_Number", "income_category", "year_created", "beg_balance", "recapture_amount", "",
};

// 35 Beginning Earnings & Profits - Pre-87 E&P and Taxes
const char* const kKind35Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "E&P Functional Currency", "E&P US Dollars",
    "Taxes Functional Currency", "Taxes US Dollars", "Exchange Rate", "Previously Taxed E&P",
    "Deficit Amount", "",
};
const char kKind35Kinds[] = "CYCAAAARAA";
const char* const kKind35Elements[] = {
    "Company_Number", "tax_year", "income_category", "ep_fc", "ep_usd", "taxes_fc", "taxes_usd",
    "exch_rate", "ptep", "deficit_amount", "",
};

// 36 Beginning Earnings & Profits - Post-86 E&P and Taxes
const char* const kKind36Keys[] = {
    "Entity Number", "Income Category", "E&P Functional Currency", "E&P US Dollars",
    "Taxes US Dollars", "Previously Taxed E&P Functional Currency",
    "Previously Taxed E&P US Dollars", "Deficit Amount", "",
};
const char kKind36Kinds[] = "CCAAAAAA";
const char* const kKind36Elements[] = {
    "Company_Number", "income_category", "ep_fc", "ep_usd", "taxes_usd", "ptep_fc", "ptep_usd",
    "deficit_amount", "",
};

// 37 Beginning Earnings & Profits - Pre-87 Adjustments
const char* const kKind37Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type", "Description",
    "E&P Functional Currency", "E&P US Dollars", "Taxes Functional Currency", "Taxes US Dollars",
    "Exchange Rate", "",
};
const char kKind37Kinds[] = "CYCCTAAAAR";
const char* const kKind37Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "description", "ep_fc",
    "ep_usd", "taxes_fc", "taxes_usd", "exch_rate", "",
};

// 38 Beginning Earnings & Profits - Post-86 Adjustments
const char* const kKind38Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type", "Description",
    "E&P Functional Currency", "E&P US Dollars", "Taxes Functional Currency", "Taxes US Dollars",
    "Exchange Rate", "",
};
const char kKind38Kinds[] = "CYCCTAAAAR";
const char* const kKind38Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "description", "ep_fc",
    "ep_usd", "taxes_fc", "taxes_usd", "exch_rate", "",
};

// 39 Sourcing Workpaper - Apportionment Base Codes
const char* const kKind39Keys[] = {
    "Entity Number", "Account", "Apportionment Base Code", "Income Category", "Override Percent",
    "",
};
const char kKind39Kinds[] = "CCCCR";
const char* const kKind39Elements[] = {
    "Company_Number", "account", "base_code", "income_category", "override_pct", "",
};

// 40 Section 987 - Current Year Branch Transfers
const char* const kKind40Keys[] = {
    "Entity Number", "Branch Entity", "Transfer Date", "Transfer Type",
    "Functional Currency Amount", "Exchange Rate", "Asset or Liability", "",
};
const char kKind40Kinds[] = "CCDCARC";
const char* const kKind40Elements[] = {
    "Company_Number", "Branch_entity_id", "transfer_date", "transfer_type", "fc_amount",
    "exch_rate", "asset_liability", "",
};

// 41 Intercompany Payments - Dividends
const char* const kKind41Keys[] = {
    "Entity Number", "Recipient Entity", "Date Paid", "Payor Amount", "Withholding Tax", "",
};
const char kKind41Kinds[] = "CCDAA";
const char* const kKind41Elements[] = {
    "Company_Number", "Recip_entity_id", "date_paid", "payor_amount", "withholding_tax", "",
};

// 42 Intercompany Payments - RRI
const char* const kKind42Keys[] = {
    "Entity Number", "Recipient Entity", "Interest Paid", "Rent Paid", "Royalties Paid", "",
};
const char kKind42Kinds[] = "CCAAA";
const char* const kKind42Elements[] = {
    "Company_Number", "Recip_entity_id", "interest_paid", "rent_paid", "royalty_paid", "",
};

// 43 Intercompany Receipts - Dividends
const char* const kKind43Keys[] = {
    "Entity Number", "Payor Entity", "Date Paid", "FPHCI Indicator", "Amount", "Withholding Tax",
    "Exchange Rate", "",
};
const char kKind43Kinds[] = "CCDCAAR";
const char* const kKind43Elements[] = {
    "Company_Number", "Payor_entity_id", "date_paid", "fphci_ind", "amount", "withholding_tax",
    "exch_rate", "",
};

// 44 Intercompany Receipts - Rent
const char* const kKind44Keys[] = {
    "Entity Number", "Payor Entity", "FPHCI Indicator", "Amount", "Withholding Tax",
    "Income Category", "",
};
const char kKind44Kinds[] = "CCCAAC";
const char* const kKind44Elements[] = {
    "Company_Number", "Payor_entity_id", "fphci_ind", "amount", "withholding_tax",
    "income_category", "",
};

// 45 Intercompany Receipts - Royalties
const char* const kKind45Keys[] = {
    "Entity Number", "Payor Entity", "FPHCI Indicator", "Amount", "Withholding Tax",
    "Income Category", "",
};
const char kKind45Kinds[] = "CCCAAC";
const char* const kKind45Elements[] = {
    "Company_Number", "Payor_entity_id", "fphci_ind", "amount", "withholding_tax",
    "income_category", "",
};

// 46 Intercompany Receipts - Interest
const char* const kKind46Keys[] = {
    "Entity Number", "Payor Entity", "FPHCI Indicator", "Amount", "Withholding Tax",
    "Income Category", "",
};
const char kKind46Kinds[] = "CCCAAC";
const char* const kKind46Elements[] = {
    "Company_Number", "Payor_entity_id", "fphci_ind", "amount", "withholding_tax",
    "income_category", "",
};

// 47 Sourcing Workpaper - Trial Balance Overrides
const char* const kKind47Keys[] = {
    "Entity Number", "Account", "Override Amount", "Source Code", "",
};
const char kKind47Kinds[] = "CCAC";
const char* const kKind47Elements[] = {
    "Company_Number", "account", "override_amount", "source_code", "",
};

// 48 International Entity Ownership
const char* const kKind48Keys[] = {
    "Entity Number", "Owner Entity", "Ownership Percent", "Voting Percent", "Value Percent",
    "Date Acquired", "",
};
const char kKind48Kinds[] = "CCRRRD";
const char* const kKind48Elements[] = {
    "Company_Number", "Owner_entity_id", "ownership_pct", "voting_pct", "value_pct",
    "date_acquired", "",
};

// 49 US Dollar Book Balances Override
const char* const kKind49Keys[] = {
    "Entity Number", "Account", "US Dollar Beginning Balance", "US Dollar Ending Balance", "",
};
const char kKind49Kinds[] = "CCAA";
const char* const kKind49Elements[] = {
    "Company_Number", "account", "usd_beg_balance", "usd_end_balance", "",
};

// 50 Consolidated Members
const char* const kKind50Keys[] = {
    "",
};
const char kKind50Kinds[] = "";
const char* const kKind50Elements[] = {
    "",
};

// 51 Beginning Earnings & Profits - Pre-87 Adjustments
const char* const kKind51Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type", "Description",
    "E&P Functional Currency", "E&P US Dollars", "Taxes US Dollars", "",
};
const char kKind51Kinds[] = "CYCCTAAA";
const char* const kKind51Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "description", "ep_fc",
    "ep_usd", "taxes_usd", "",
};

// 52 Beginning Post-86 Earnings and Profits - Earnings and Profits
const char* const kKind52Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Functional Currency Amount", "Description",
    "",
};
const char kKind52Kinds[] = "CYCAT";
const char* const kKind52Elements[] = {
    "Company_Number", "tax_year", "income_category", "fc_amount", "description", "",
};

// 53 Beginning Post-86 Earnings and Profits - Adjustments
const char* const kKind53Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type",
    "Functional Currency Amount", "Description", "",
};
const char kKind53Kinds[] = "CYCCAT";
const char* const kKind53Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "fc_amount",
    "description", "",
};

// 54 Beginning Post-86 Earnings and Profits - Subpart F Reclass
const char* const kKind54Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity",
    "Functional Currency Amount", "Description", "",
};
const char kKind54Kinds[] = "CYCCAT";
const char* const kKind54Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "fc_amount",
    "description", "",
};

// 55 Beginning Post-86 Earnings and Profits - Actual Dividends
const char* const kKind55Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Recipient Entity", "Date Paid",
    "Functional Currency Amount", "Description", "",
};
const char kKind55Kinds[] = "CYCCDAT";
const char* const kKind55Elements[] = {
    "Company_Number", "tax_year", "income_category", "Recip_entity_id", "date_paid", "fc_amount",
    "description", "",
};

// 56 Beginning Post-86 Earnings and Profits - Section 956 Reclass
const char* const kKind56Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity",
    "Functional Currency Amount", "Description", "",
};
const char kKind56Kinds[] = "CYCCAT";
const char* const kKind56Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "fc_amount",
    "description", "",
};

// 57 Beginning Post-86 Earnings and Profits - Pre-87 Deficits CF
const char* const kKind57Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Deficit Year", "Functional Currency Amount",
    "Description", "",
};
const char kKind57Kinds[] = "CYCYAT";
const char* const kKind57Elements[] = {
    "Company_Number", "tax_year", "income_category", "deficit_year", "fc_amount", "description",
    "",
};

// 58 Beginning Post-86 Earnings and Profits - Post-86 Deficits CB
const char* const kKind58Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Deficit Year", "Functional Currency Amount",
    "Description", "",
};
const char kKind58Kinds[] = "CYCYAT";
const char* const kKind58Elements[] = {
    "Company_Number", "tax_year", "income_category", "deficit_year", "fc_amount", "description",
    "",
};

// 59 Beginning Post-86 Taxes - Paid or Accrued
const char* const kKind59Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Country Code", "Foreign Currency Amount",
    "Exchange Rate", "US Dollar Amount", "Description", "",
};
const char kKind59Kinds[] = "CYCCARAT";
const char* const kKind59Elements[] = {
    "Company_Number", "tax_year", "income_category", "country_code", "fc_amount", "exch_rate",
    "usd_amount", "description", "",
};

// 60 Beginning Post-86 Taxes - Adjustments
const char* const kKind60Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type", "US Dollar Amount",
    "Description", "",
};
const char kKind60Kinds[] = "CYCCAT";
const char* const kKind60Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "usd_amount",
    "description", "",
};

// 61 Beginning Post-86 Taxes - Increase for Taxes Deemed Paid from Lower Tiers
const char* const kKind61Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Lower Tier Entity", "US Dollar Amount",
    "Description", "",
};
const char kKind61Kinds[] = "CYCCAT";
const char* const kKind61Elements[] = {
    "Company_Number", "tax_year", "income_category", "Lower_tier_entity_id", "usd_amount",
    "description", "",
};

// 62 Beginning Post-86 Taxes - Deemed Paid to Shareholders - Subpart F
const char* const kKind62Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity", "US Dollar Amount",
    "Description", "",
};
const char kKind62Kinds[] = "CYCCAT";
const char* const kKind62Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "usd_amount",
    "description", "",
};

// 63 Beginning Post-86 Taxes - Deemed Paid to Shareholders - Actual Dividends
const char* const kKind63Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Recipient Entity", "US Dollar Amount",
    "Description", "",
};
const char kKind63Kinds[] = "CYCCAT";
const char* const kKind63Elements[] = {
    "Company_Number", "tax_year", "income_category", "Recip_entity_id", "usd_amount",
    "description", "",
};

// 64 Beginning Post-86 Taxes - Deemed Paid to Shareholders - Section 956
const char* const kKind64Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity", "US Dollar Amount",
    "Description", "",
};
const char kKind64Kinds[] = "CYCCAT";
const char* const kKind64Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "usd_amount",
    "description", "",
};

// 65 Income Inclusion Transfer Source Code Mapping
const char* const kKind65Keys[] = {
    "Inclusion Type", "Source Code", "Transfer Source Code", "Description", "",
};
const char kKind65Kinds[] = "CCCT";
const char* const kKind65Elements[] = {
    "inclusion_type", "source_code", "transfer_source_code", "description", "",
};

// 66 Foreign Taxes Paid or Accrued
const char* const kKind66Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Tax Type", "Date Paid",
    "Paid or Accrued", "Foreign Currency Amount", "Exchange Rate", "US Dollar Amount", "",
};
const char kKind66Kinds[] = "CCCCDCARA";
const char* const kKind66Elements[] = {
    "Company_Number", "income_category", "country_code", "tax_type", "date_paid", "paid_accrued",
    "fc_amount", "exch_rate", "usd_amount", "",
};

// 67 Reference ID, Form 8975 IDs and Number of Employees
const char* const kKind67Keys[] = {
    "Entity Number", "Reference ID Number", "Taxpayer ID Number", "Number of Employees",
    "Identification Number 1 (Valid for 2016 and later)",
    "Country Code 1 (Valid for 2016 and later)", "Description 1 (Valid for 2016 and later)",
    "Identification Number 2 (Valid for 2016 and later)",
    "Country Code 2 (Valid for 2016 and later)", "Description 2 (Valid for 2016 and later)",
    "Identification Number 3 (Valid for 2016 and later)",
    "Country Code 3 (Valid for 2016 and later)", "Description 3 (Valid for 2016 and later)",
    "Identification Number 4 (Valid for 2016 and later)",
    "Country Code 4 (Valid for 2016 and later)", "Description 4 (Valid for 2016 and later)",
    "Identification Number 5 (Valid for 2016 and later)",
    "Country Code 5 (Valid for 2016 and later)", "Description 5 (Valid for 2016 and later)",
    "Identification Number 6 (Valid for 2016 and later)",
    "Country Code 6 (Valid for 2016 and later)", "Description 6 (Valid for 2016 and later)",
    "Identification Number 7 (Valid for 2016 and later)",
    "Country Code 7 (Valid for 2016 and later)", "Description 7 (Valid for 2016 and later)",
    "Identification Number 8 (Valid for 2016 and later)",
    "Country Code 8 (Valid for 2016 and later)", "Description 8 (Valid for 2016 and later)",
    "Identification Number 9 (Valid for 2016 and later)",
    "Country Code 9 (Valid for 2016 and later)", "Description 9 (Valid for 2016 and later)",
    "Identification Number 10 (Valid for 2016 and later)",
    "Country Code 10 (Valid for 2016 and later)", "Description 10 (Valid for 2016 and later)", "",
};
const char kKind67Kinds[] = "CCCNCCTCCTCCTCCTCCTCCTCCTCCTCCTCCT";
const char* const kKind67Elements[] = {
    "Company_Number", "ReferenceID_Number", "TaxPay_ID_Number", "NumberOfEmployees", "IdNumber1",
    "Country1", "Description1", "IdNumber2", "Country2", "Description2", "IdNumber3", "Country3",
    "Description3", "IdNumber4", "Country4", "Description4", "IdNumber5", "Country5",
    "Description5", "IdNumber6", "Country6", "Description6", "IdNumber7", "Country7",
    "Description7", "IdNumber8", "Country8", "Description8", "IdNumber9", "Country9",
    "Description9", "IdNumber10", "Country10", "Description10", "",
};

// 68 960(c) Reduction of Deemed Paid Taxes (Override)
const char* const kKind68Keys[] = {
    "Entity Number", "Shareholder Entity", "Income Category", "Tax Year", "Reduction Amount", "",
};
const char kKind68Kinds[] = "CCCYA";
const char* const kKind68Elements[] = {
    "Company_Number", "Shareholder_entity_id", "income_category", "tax_year", "reduction_amount",
    "",
};

// 69 Asset Sourcing Workpaper
const char* const kKind69Keys[] = {
    "Entity Number", "Account", "Source Code", "Income Category", "Beginning of Year Amount",
    "End of Year Amount", "",
};
const char kKind69Kinds[] = "CCCCAA";
const char* const kKind69Elements[] = {
    "Company_Number", "account", "source_code", "income_category", "boy_amount", "eoy_amount", "",
};

// 70 Asset Sourcing Workpaper - Trial Balance Overrides
const char* const kKind70Keys[] = {
    "Entity Number", "Account", "Beginning Override Amount", "Ending Override Amount", "",
};
const char kKind70Kinds[] = "CCAA";
const char* const kKind70Elements[] = {
    "Company_Number", "account", "boy_override_amount", "eoy_override_amount", "",
};

// 71 Asset Sourcing Workpaper - Apportionment Base Codes
const char* const kKind71Keys[] = {
    "Entity Number", "Account", "Apportionment Base Code", "Income Category", "",
};
const char kKind71Kinds[] = "CCCC";
const char* const kKind71Elements[] = {
    "Company_Number", "account", "base_code", "income_category", "",
};

// 72 Hovering deficits
const char* const kKind72Keys[] = {
    "Entity Number", "Income Category", "Year Created", "Hovering Deficit", "Related Taxes", "",
};
const char kKind72Kinds[] = "CCYAA";
const char* const kKind72Elements[] = {
    "Company_Number", "income_category", "year_created", "hovering_deficit", "related_taxes", "",
};

// 73 Beginning Post-86 Earnings and Profits - Adjustments
const char* const kKind73Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type",
    "Functional Currency Amount", "Description", "",
};
const char kKind73Kinds[] = "CYCCAT";
const char* const kKind73Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "fc_amount",
    "description", "",
};

// 74 Beginning Post-86 Taxes - Adjustments
const char* const kKind74Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type", "US Dollar Amount",
    "Description", "",
};
const char kKind74Kinds[] = "CYCCAT";
const char* const kKind74Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "usd_amount",
    "description", "",
};

// 75 Foreign Taxes Paid or Accrued
const char* const kKind75Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Tax Type", "Date Paid",
    "Paid or Accrued", "Foreign Currency Amount", "Exchange Rate", "US Dollar Amount", "",
};
const char kKind75Kinds[] = "CCCCDCARA";
const char* const kKind75Elements[] = {
    "Company_Number", "income_category", "country_code", "tax_type", "date_paid", "paid_accrued",
    "fc_amount", "exch_rate", "usd_amount", "",
};

// 76 Source Code
const char* const kKind76Keys[] = {
    "Source Code", "Description", "FTC Type", "US or Foreign Source", "Separate Category", "",
};
const char kKind76Kinds[] = "CTCCC";
const char* const kKind76Elements[] = {
    "source_code", "description", "ftc_type", "us_foreign_source", "separate_category", "",
};

// 77 Beginning Post-86 Earnings and Profits - Earnings and Profits
const char* const kKind77Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Functional Currency Amount", "Description",
    "",
};
const char kKind77Kinds[] = "CYCAT";
const char* const kKind77Elements[] = {
    "Company_Number", "tax_year", "income_category", "fc_amount", "description", "",
};

// 78 Beginning Post-86 Earnings and Profits - Adjustments
const char* const kKind78Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Adjustment Type",
    "Functional Currency Amount", "Description", "",
};
const char kKind78Kinds[] = "CYCCAT";
const char* const kKind78Elements[] = {
    "Company_Number", "tax_year", "income_category", "adjustment_type", "fc_amount",
    "description", "",
};

// 79 Beginning Post-86 Earnings and Profits - Subpart F Reclass
const char* const kKind79Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity",
    "Functional Currency Amount", "Description", "",
};
const char kKind79Kinds[] = "CYCCAT";
const char* const kKind79Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "fc_amount",
    "description", "",
};

// 80 Beginning Post-86 Earnings and Profits - Actual Dividends
const char* const kKind80Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Recipient Entity", "Date Paid",
    "Functional Currency Amount", "Description", "",
};
const char kKind80Kinds[] = "CYCCDAT";
const char* const kKind80Elements[] = {
    "Company_Number", "tax_year", "income_category", "Recip_entity_id", "date_paid", "fc_amount",
    "description", "",
};

// 81 Beginning Post-86 Earnings and Profits - Section 956 Reclass
const char* const kKind81Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity",
    "Functional Currency Amount", "Description", "",
};
const char kKind81Kinds[] = "CYCCAT";
const char* const kKind81Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "fc_amount",
    "description", "",
};

// 82 Beginning Post-86 Earnings and Profits - Pre-87 Deficits CF
const char* const kKind82Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Deficit Year", "Functional Currency Amount",
    "Description", "",
};
const char kKind82Kinds[] = "CYCYAT";
const char* const kKind82Elements[] = {
    "Company_Number", "tax_year", "income_category", "deficit_year", "fc_amount", "description",
    "",
};

// 83 Beginning Post-86 Earnings and Profits - Post-86 Deficits CB
const char* const kKind83Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Deficit Year", "Functional Currency Amount",
    "Description", "",
};
const char kKind83Kinds[] = "CYCYAT";
const char* const kKind83Elements[] = {
    "Company_Number", "tax_year", "income_category", "deficit_year", "fc_amount", "description",
    "",
};

// 84 Subpart f Recapture
const char* const kKind84Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Year Created", "Beginning Balance",
    "Recapture Amount", "",
};
const char kKind84Kinds[] = "CYCYAA";
const char* const kKind84Elements[] = {
    "Company_Number", "tax_year", "income_category", "year_created", "beg_balance",
    "recapture_amount", "",
};

// 85 Tax Classification
const char* const kKind85Keys[] = {
    "Entity Number", "Tax Year", "Entity Classification", "Classification Date",
    "Check the Box Election", "",
};
const char kKind85Kinds[] = "CYCDC";
const char* const kKind85Elements[] = {
    "Company_Number", "tax_year", "entity_classification", "classification_date", "ctb_election",
    "",
};

// 86 Form 8975 Financial Amounts
const char* const kKind86Keys[] = {
    "Entity Number", "Tax Jurisdiction", "Unrelated Party Revenues", "Related Party Revenues",
    "Total Revenues", "Profit or Loss Before Income Tax", "Income Tax Paid", "Income Tax Accrued",
    "Stated Capital", "Accumulated Earnings", "Tangible Assets", "",
};
const char kKind86Kinds[] = "CCAAAAAAAAA";
const char* const kKind86Elements[] = {
    "Company_Number", "tax_jurisdiction", "unrelated_revenues", "related_revenues",
    "total_revenues", "pretax_profit_loss", "income_tax_paid", "income_tax_accrued",
    "stated_capital", "accumulated_earnings", "tangible_assets", "",
};

// 87 Repatriation of Deferred Foreign Income - System Calculation
const char* const kKind87Keys[] = {
    "Entity Number", "Shareholder Entity", "Measurement Date", "Deferred Foreign Income",
    "Cash Position", "Ownership Percent", "",
};
const char kKind87Kinds[] = "CCDAAR";
const char* const kKind87Elements[] = {
    "Company_Number", "Shareholder_entity_id", "measurement_date", "deferred_income",
    "cash_position", "ownership_pct", "",
};

// 88 Repatriation of Deferred Foreign Income - Override System Calculation
const char* const kKind88Keys[] = {
    "Entity Number", "Shareholder Entity", "Override Deferred Foreign Income",
    "Override Cash Position", "Override Deficit Allocation", "",
};
const char kKind88Kinds[] = "CCAAA";
const char* const kKind88Elements[] = {
    "Company_Number", "Shareholder_entity_id", "ovr_deferred_income", "ovr_cash_position",
    "ovr_deficit_allocation", "",
};

// 89 Repatriation of Deferred Foreign Income - Override Section 965(a) Earnings Basket Allocation
const char* const kKind89Keys[] = {
    "Entity Number", "Shareholder Entity", "Income Category", "Section 965(a) Earnings",
    "Allocation Percent", "",
};
const char kKind89Kinds[] = "CCCAR";
const char* const kKind89Elements[] = {
    "Company_Number", "Shareholder_entity_id", "income_category", "sec965a_earnings",
    "allocation_pct", "",
};

// 90 GILTI - QBAI (Qualified Business Asset Investment)
const char* const kKind90Keys[] = {
    "Entity Number", "Tax Year", "First Quarter Adjusted Basis", "Second Quarter Adjusted Basis",
    "Third Quarter Adjusted Basis", "Fourth Quarter Adjusted Basis", "Partnership QBAI", "",
};
const char kKind90Kinds[] = "CYAAAAA";
const char* const kKind90Elements[] = {
    "Company_Number", "tax_year", "q1_adj_basis", "q2_adj_basis", "q3_adj_basis", "q4_adj_basis",
    "partnership_qbai", "",
};

// 91 GILTI - Tested Item Sourcing and Translation Overrides
const char* const kKind91Keys[] = {
    "Entity Number", "Account", "Tested Item Type", "Source Code", "Exchange Rate",
    "Override Amount", "",
};
const char kKind91Kinds[] = "CCCCRA";
const char* const kKind91Elements[] = {
    "Company_Number", "account", "tested_item_type", "source_code", "exch_rate",
    "override_amount", "",
};

// 92 Current Year Taxes Paid or Accrued 2018 and Later
const char* const kKind92Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Tax Type", "Date Paid",
    "Paid or Accrued", "Foreign Currency Amount", "Exchange Rate", "US Dollar Amount", "",
};
const char kKind92Kinds[] = "CCCCDCARA";
const char* const kKind92Elements[] = {
    "Company_Number", "income_category", "country_code", "tax_type", "date_paid", "paid_accrued",
    "fc_amount", "exch_rate", "usd_amount", "",
};

// 93 Foreign Taxes Paid or Accrued
const char* const kKind93Keys[] = {
    "Entity Number", "Income Category", "Country Code", "Tax Type", "Date Paid",
    "Paid or Accrued", "Foreign Currency Amount", "Exchange Rate", "US Dollar Amount",
    "Section 245A Disallowed Tax", "",
};
const char kKind93Kinds[] = "CCCCDCARAA";
const char* const kKind93Elements[] = {
    "Company_Number", "income_category", "country_code", "tax_type", "date_paid", "paid_accrued",
    "fc_amount", "exch_rate", "usd_amount", "sec245a_disallowed", "",
};

// 94 Income Sourcing Workpaper - Country Detail
const char* const kKind94Keys[] = {
    "Entity Number", "Account", "Country Code", "Income Category", "Source Code", "Amount", "",
};
const char kKind94Kinds[] = "CCCCCA";
const char* const kKind94Elements[] = {
    "Company_Number", "account", "country_code", "income_category", "source_code", "amount", "",
};

// 95 Interest Apportionment - Operating Assets
const char* const kKind95Keys[] = {
    "Entity Number", "Account", "Income Category", "Source Code", "Country Code",
    "Beginning of Year Amount", "End of Year Amount", "Beginning of Year Adjustment",
    "End of Year Adjustment", "",
};
const char kKind95Kinds[] = "CCCCCAAAA";
const char* const kKind95Elements[] = {
    "Company_Number", "account", "income_category", "source_code", "country_code", "boy_amount",
    "eoy_amount", "boy_adjustment", "eoy_adjustment", "",
};

// 96 Interest Apportionment - Intercompany Debt
const char* const kKind96Keys[] = {
    "Entity Number", "Debtor Entity", "Income Category", "Beginning of Year Amount",
    "End of Year Amount", "Interest Amount", "",
};
const char kKind96Kinds[] = "CCCAAA";
const char* const kKind96Elements[] = {
    "Company_Number", "Debtor_entity_id", "income_category", "boy_amount", "eoy_amount",
    "interest_amount", "",
};

// 97 Interest Apportionment - Basis in Subsidiaries
const char* const kKind97Keys[] = {
    "Entity Number", "Subsidiary Entity", "Income Category", "Beginning Stock Basis",
    "Ending Stock Basis", "Beginning E&P Adjustment", "Ending E&P Adjustment", "",
};
const char kKind97Kinds[] = "CCCAAAA";
const char* const kKind97Elements[] = {
    "Company_Number", "Sub_entity_id", "income_category", "boy_stock_basis", "eoy_stock_basis",
    "boy_ep_adjustment", "eoy_ep_adjustment", "",
};

// 98 Beginning Post-86 Earnings and Profits - GILTI Reclass
const char* const kKind98Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity",
    "Functional Currency Amount", "Description", "",
};
const char kKind98Kinds[] = "CYCCAT";
const char* const kKind98Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "fc_amount",
    "description", "",
};

// 99 Beginning Post-86 Taxes - Deemed Paid to Shareholders - GILTI
const char* const kKind99Keys[] = {
    "Entity Number", "Tax Year", "Income Category", "Shareholder Entity", "US Dollar Amount",
    "Inclusion Percentage", "Description", "",
};
const char kKind99Kinds[] = "CYCCART";
const char* const kKind99Elements[] = {
    "Company_Number", "tax_year", "income_category", "Shareholder_entity_id", "usd_amount",
    "inclusion_pct", "description", "",
};
}  // namespace

const IntlKind kIntlKinds[kIntlKindCount + 1] = {
    {"DASTMCOA", "DASTM Chart of Accounts", kKind0Keys, kKind0Elements, kKind0Kinds},
    {"ExgRate", "Exchange Rate", kKind1Keys, kKind1Elements, kKind1Kinds},
    {"SourceCode", "Source Code", kKind2Keys, kKind2Elements, kKind2Kinds},
    {"MBCUserDefined", "MBC-User Defined Apportionment Base", kKind3Keys, kKind3Elements, kKind3Kinds},
    {"MBCComposite", "MBC-Composite Apportionment Base", kKind4Keys, kKind4Elements, kKind4Kinds},
    {"MBCSourceCode", "MBC-Source Code Apportionment Base", kKind5Keys, kKind5Elements, kKind5Kinds},
    {"MBCAcctType", "MBC-Account Types Apportionment Base", kKind6Keys, kKind6Elements, kKind6Kinds},
    {"MBCSICCode", "MBC-SIC Apportionment Base", kKind7Keys, kKind7Elements, kKind7Kinds},
    {"DASTMExchRate", "DASTM Exchange Rate", kKind8Keys, kKind8Elements, kKind8Kinds},
    {"DASTMHistAmts", "DASTM Historical Amounts", kKind9Keys, kKind9Elements, kKind9Kinds},
    {"DASTMCompute", "DASTM Income Statement/Balance Sheet", kKind10Keys, kKind10Elements, kKind10Kinds},
    {"DASTMSrcWkp", "DASTM Sourcing of Allocable Gain/Loss", kKind11Keys, kKind11Elements, kKind11Kinds},
    {"Remitt", "Remittance", kKind12Keys, kKind12Elements, kKind12Kinds},
    {"WithTx", "Withholding Tax", kKind13Keys, kKind13Elements, kKind13Kinds},
    {"TaxPay", "Tax Payment", kKind14Keys, kKind14Elements, kKind14Kinds},
    {"ScheduleMBal", "Schedule M Chart", kKind15Keys, kKind15Elements, kKind15Kinds},
    {"Allocation", "Sourcing Workpaper", kKind16Keys, kKind16Elements, kKind16Kinds},
    {"SWCountryDetail", "Sourcing Workpaper - Country Detail", kKind17Keys, kKind17Elements, kKind17Kinds},
    {"DividendPayment", "Intercompany Payments - Dividends", kKind18Keys, kKind18Elements, kKind18Kinds},
    {"RRIPayment", "Intercompany Payments - Rent", kKind19Keys, kKind19Elements, kKind19Kinds},
    {"RRIPayment", "Intercompany Payments - Royalties", kKind20Keys, kKind20Elements, kKind20Kinds},
    {"RRIPayment", "Intercompany Payments - Interest", kKind21Keys, kKind21Elements, kKind21Kinds},
    {"DividendReceipt", "Intercompany Receipts - Dividends", kKind22Keys, kKind22Elements, kKind22Kinds},
    {"RRIReceipt", "Intercompany Receipts - RRI", kKind23Keys, kKind23Elements, kKind23Kinds},
    {"CFCTax", "Current Year Taxes Paid or Accrued", kKind24Keys, kKind24Elements, kKind24Kinds},
    {"FTCTaxesPaid", "Foreign Taxes Paid or Accrued", kKind25Keys, kKind25Elements, kKind25Kinds},
    {"OpAsset", "Interest Apportionment - Operating Assets", kKind26Keys, kKind26Elements, kKind26Kinds},
    {"IntercoDebtElim", "Interest Apportionment - Intercompany Debt", kKind27Keys, kKind27Elements, kKind27Kinds},
    {"ParentBasisinStock", "Interest Apportionment - Basis in Subsidiaries",
     kKind28Keys, kKind28Elements, kKind28Kinds},
    {"RelPartyPurchase", "R&D Apportionment - Related Party Purchases",
     kKind29Keys, kKind29Elements, kKind29Kinds},
    {"MiscRD", "R&D Apportionment - Uncontrolled Sales & Other Adj.", kKind30Keys, kKind30Elements, kKind30Kinds},
    {"FTCTaxesPaid2013", "Foreign Taxes Paid or Accrued", kKind31Keys, kKind31Elements, kKind31Kinds},
    {"SepLimitationLoss", "Separate Limitation Loss", kKind32Keys, kKind32Elements, kKind32Kinds},
    {"DeficitAmt", "Qualified Deficit", kKind33Keys, kKind33Elements, kKind33Kinds},
    {"SubPartFRecap", "Subpart F Recapture", kKind34Keys, kKind34Elements, kKind34Kinds},
    {"Pool", "Beginning Earnings & Profits - Pre-87 E&P and Taxes", kKind35Keys, kKind35Elements, kKind35Kinds},
    {"Pool", "Beginning Earnings & Profits - Post-86 E&P and Taxes", kKind36Keys, kKind36Elements, kKind36Kinds},
    {"BEP", "Beginning Earnings & Profits - Pre-87 Adjustments", kKind37Keys, kKind37Elements, kKind37Kinds},
    {"BEP", "Beginning Earnings & Profits - Post-86 Adjustments", kKind38Keys, kKind38Elements, kKind38Kinds},
    {"SWAppCode", "Sourcing Workpaper - Apportionment Base Codes", kKind39Keys, kKind39Elements, kKind39Kinds},
    {"Sec987CYBT", "Section 987 - Current Year Branch Transfers", kKind40Keys, kKind40Elements, kKind40Kinds},
    {"DividendPaymentPost2004", "Intercompany Payments - Dividends", kKind41Keys, kKind41Elements, kKind41Kinds},
    {"RRIPaymentPost2004", "Intercompany Payments - RRI", kKind42Keys, kKind42Elements, kKind42Kinds},
    {"DividendReceiptPost2004", "Intercompany Receipts - Dividends", kKind43Keys, kKind43Elements, kKind43Kinds},
    {"RRIReceiptPost2004", "Intercompany Receipts - Rent", kKind44Keys, kKind44Elements, kKind44Kinds},
    {"RRIReceiptPost2004", "Intercompany Receipts - Royalties", kKind45Keys, kKind45Elements, kKind45Kinds},
    {"RRIReceiptPost2004", "Intercompany Receipts - Interest", kKind46Keys, kKind46Elements, kKind46Kinds},
    {"SRCWTB", "Sourcing Workpaper - Trial Balance Overrides", kKind47Keys, kKind47Elements, kKind47Kinds},
    {"IntlOwnership", "International Entity Ownership", kKind48Keys, kKind48Elements, kKind48Kinds},
    {"USDBAL", "US Dollar Book Balances Override", kKind49Keys, kKind49Elements, kKind49Kinds},
    {"-dummy-", "Consolidated Members", kKind50Keys, kKind50Elements, kKind50Kinds},
    {"BEP", "Beginning Earnings & Profits - Pre-87 Adjustments", kKind51Keys, kKind51Elements, kKind51Kinds},
    {"BEG_EP_POST86_EP_02", "Beginning Post-86 Earnings and Profits - Earnings and Profits",
     kKind52Keys, kKind52Elements, kKind52Kinds},
    {"BEG_EP_POST86_EP_ADJ_03", "Beginning Post-86 Earnings and Profits - Adjustments",
     kKind53Keys, kKind53Elements, kKind53Kinds},
    {"BEG_EP_POST86_EP_SF_RECLASS_04", "Beginning Post-86 Earnings and Profits - Subpart F Reclass",
     kKind54Keys, kKind54Elements, kKind54Kinds},
    {"BEG_EP_POST86_EP_ACTL_DIV_05", "Beginning Post-86 Earnings and Profits - Actual Dividends",
     kKind55Keys, kKind55Elements, kKind55Kinds},
    {"BEG_EP_POST86_EP_956RECLASS_06",
     "Beginning Post-86 Earnings and Profits - Section 956 Reclass",
     kKind56Keys, kKind56Elements, kKind56Kinds},
    {"BEG_EP_POST86_EP_PRE87CF_07", "Beginning Post-86 Earnings and Profits - Pre-87 Deficits CF",
     kKind57Keys, kKind57Elements, kKind57Kinds},
    {"BEG_EP_POST86_EP_DEFICITS_CB_08",
     "Beginning Post-86 Earnings and Profits - Post-86 Deficits CB",
     kKind58Keys, kKind58Elements, kKind58Kinds},
    {"BEG_EP_POST86_TAX_PAID_ACCRD_10", "Beginning Post-86 Taxes - Paid or Accrued",
     kKind59Keys, kKind59Elements, kKind59Kinds},
    {"BEG_EP_POST86_TAX_ADJ_11", "Beginning Post-86 Taxes - Adjustments",
     kKind60Keys, kKind60Elements, kKind60Kinds},
    {"BEG_EP_POST86_TAX_DP_LTIERS_12",
     "Beginning Post-86 Taxes - Increase for Taxes Deemed Paid from Lower Tiers",
     kKind61Keys, kKind61Elements, kKind61Kinds},
    {"BEG_EP_POST86_TAX_DEEM_PD_SH_13",
     "Beginning Post-86 Taxes - Deemed Paid to Shareholders - Subpart F",
     kKind62Keys, kKind62Elements, kKind62Kinds},
    {"BEG_EP_POST86_TAX_ACTL_DIV_14",
     "Beginning Post-86 Taxes - Deemed Paid to Shareholders - Actual Dividends",
     kKind63Keys, kKind63Elements, kKind63Kinds},
    {"BEG_EP_POST86_TAX_DP_SH956_15",
     "Beginning Post-86 Taxes - Deemed Paid to Shareholders - Section 956",
     kKind64Keys, kKind64Elements, kKind64Kinds},
    {"INCOME_INCLUSION_MAPPING", "Income Inclusion Transfer Source Code Mapping",
     kKind65Keys, kKind65Elements, kKind65Kinds},
    {"FTCTaxesPaid2011", "Foreign Taxes Paid or Accrued", kKind66Keys, kKind66Elements, kKind66Kinds},
    {"REFERENCE_ID_NUMBER", "Reference ID, Form 8975 IDs and Number of Employees",
     kKind67Keys, kKind67Elements, kKind67Kinds},
    {"INVESTMENTS_PFIC", "960(c) Reduction of Deemed Paid Taxes (Override)",
     kKind68Keys, kKind68Elements, kKind68Kinds},
    {"ASSET_SOURCING_WORKPAPER", "Asset Sourcing Workpaper", kKind69Keys, kKind69Elements, kKind69Kinds},
    {"ASSET_SWP_TB_OVERRIDE", "Asset Sourcing Workpaper - Trial Balance Overrides",
     kKind70Keys, kKind70Elements, kKind70Kinds},
    {"ASSET_SWP_APP_CODES", "Asset Sourcing Workpaper - Apportionment Base Codes",
     kKind71Keys, kKind71Elements, kKind71Kinds},
    {"HOVERING_DEFICITS", "Hovering deficits", kKind72Keys, kKind72Elements, kKind72Kinds},
    {"BEG_EP_POST86_EP_ADJ_03", "Beginning Post-86 Earnings and Profits - Adjustments",
     kKind73Keys, kKind73Elements, kKind73Kinds},
    {"BEG_EP_POST86_TAX_ADJ_11", "Beginning Post-86 Taxes - Adjustments",
     kKind74Keys, kKind74Elements, kKind74Kinds},
    {"FTCTaxesPaid2012", "Foreign Taxes Paid or Accrued", kKind75Keys, kKind75Elements, kKind75Kinds},
    {"SourceCode2013", "Source Code", kKind76Keys, kKind76Elements, kKind76Kinds},
    {"BEG_EP_POST862013_EP_02", "Beginning Post-86 Earnings and Profits - Earnings and Profits",
     kKind77Keys, kKind77Elements, kKind77Kinds},
    {"BEG_EP_POST862013_EP_ADJ_03", "Beginning Post-86 Earnings and Profits - Adjustments",
     kKind78Keys, kKind78Elements, kKind78Kinds},
    {"BEG_EP_POST862013_EP_SF_RECLASS_04",
     "Beginning Post-86 Earnings and Profits - Subpart F Reclass",
     kKind79Keys, kKind79Elements, kKind79Kinds},
    {"BEG_EP_POST862013_EP_ACTL_DIV_05",
     "Beginning Post-86 Earnings and Profits - Actual Dividends",
     kKind80Keys, kKind80Elements, kKind80Kinds},
    {"BEG_EP_POST862013_EP_956RECLASS_06",
     "Beginning Post-86 Earnings and Profits - Section 956 Reclass",
     kKind81Keys, kKind81Elements, kKind81Kinds},
    {"BEG_EP_POST862013_EP_PRE87CF_07",
     "Beginning Post-86 Earnings and Profits - Pre-87 Deficits CF",
     kKind82Keys, kKind82Elements, kKind82Kinds},
    {"BEG_EP_POST862013_EP_DEFICITS_CB_08",
     "Beginning Post-86 Earnings and Profits - Post-86 Deficits CB",
     kKind83Keys, kKind83Elements, kKind83Kinds},
    {"SUBPARTF_RECAP_2013", "Subpart f Recapture", kKind84Keys, kKind84Elements, kKind84Kinds},
    {"TAXCLASSIFICATION", "Tax Classification", kKind85Keys, kKind85Elements, kKind85Kinds},
    {"FORM8975_FINANCIAL_AMOUNTS", "Form 8975 Financial Amounts", kKind86Keys, kKind86Elements, kKind86Kinds},
    {"FOREIGN_REPATRIATE_DEFERRED_INCOME",
     "Repatriation of Deferred Foreign Income - System Calculation",
     kKind87Keys, kKind87Elements, kKind87Kinds},
    {"FOREIGN_REPATRIATE_DEFERRED_INCOME_OVERRIDE",
     "Repatriation of Deferred Foreign Income - Override System Calculation",
     kKind88Keys, kKind88Elements, kKind88Kinds},
    {"FOREIGN_REPATRIATE_DEFERRED_INCOME_OVERRIDE_EBA",
     "Repatriation of Deferred Foreign Income - Override Section 965(a) Earnings Basket Allocation",
     kKind89Keys, kKind89Elements, kKind89Kinds},
    {"GILTI", "GILTI - QBAI (Qualified Business Asset Investment)", kKind90Keys, kKind90Elements, kKind90Kinds},
    {"GILTI_TESTED_ITEM_SOURCING_AND_TRANSLATION_OVERRIDES",
     "GILTI - Tested Item Sourcing and Translation Overrides",
     kKind91Keys, kKind91Elements, kKind91Kinds},
    {"CURRENT_YEAR_TAXES_PAID_POST2017", "Current Year Taxes Paid or Accrued 2018 and Later",
     kKind92Keys, kKind92Elements, kKind92Kinds},
    {"FTCTaxesPaid2018", "Foreign Taxes Paid or Accrued", kKind93Keys, kKind93Elements, kKind93Kinds},
    {"SWCountryDetail2018", "Income Sourcing Workpaper - Country Detail",
     kKind94Keys, kKind94Elements, kKind94Kinds},
    {"OpAsset", "Interest Apportionment - Operating Assets", kKind95Keys, kKind95Elements, kKind95Kinds},
    {"IntercoDebtElim", "Interest Apportionment - Intercompany Debt", kKind96Keys, kKind96Elements, kKind96Kinds},
    {"ParentBasisinStock", "Interest Apportionment - Basis in Subsidiaries",
     kKind97Keys, kKind97Elements, kKind97Kinds},
    {"BEG_EP_POST86_EP_GILTI_RECLASS_16", "Beginning Post-86 Earnings and Profits - GILTI Reclass",
     kKind98Keys, kKind98Elements, kKind98Kinds},
    {"BEG_EP_POST86_TAX_DPC_GILTI_17",
     "Beginning Post-86 Taxes - Deemed Paid to Shareholders - GILTI",
     kKind99Keys, kKind99Elements, kKind99Kinds},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const IntlKind* FindIntlKind(int index) {
  if (index < 0 || index >= kIntlKindCount) return nullptr;
  return &kIntlKinds[index];
}

int FindIntlKindByStoredName(std::string_view upperName) {
  // Display names repeat (several "Foreign Taxes Paid or Accrued", ...): the
  // first kind of that name wins.
  for (int k = 0; k < kIntlKindCount; ++k) {
    const std::string_view name = kIntlKinds[k].displayName;
    if (std::equal(name.begin(), name.end(), upperName.begin(), upperName.end(),
                   [](char shown, char stored) { return AsciiUpper(shown) == stored; }))
      return k;
  }
  return -1;
}

}  // namespace zephrin
