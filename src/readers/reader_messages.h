// The messages of the plain readers' error documents. Several differ only in their blanks;
// hosts and the people who read them have seen them as they are, so each is
// kept exactly.
#pragma once

#include <string_view>

namespace zephrin::messages {

// A journal-entry account field with no "Acct" to go into: two blanks before
// "Please" (the DIF reader and the fixed-width reader's account fields) or one
// (the CSV reader and the fixed-width reader's empty balance).
inline constexpr std::string_view kNoAcctTwoBlanks =
    "Template error occurred. There is no blank line between the JE header and the account information.  "
    "Please correct the template and try the import again.";
inline constexpr std::string_view kNoAcctOneBlank =
    "Template error occurred. There is no blank line between the JE header and the account information. "
    "Please correct the template and try the import again.";

// Failures of the XML engine, in the three wordings the readers use.
inline constexpr std::string_view kInternalCsv =
    "An internal error occurred creating the XML stream.  Please close Tallowin, reboot your workstation and "
    "try again. \n  If the problem occurs again, please contact Brenlo support.";
inline constexpr std::string_view kInternalAccount =
    "An internal error occurred creating the XML stream. Please close Tallowin, reboot your workstation and "
    "try again.\nIf the problem occurs again, please contact Brenlo support.";
inline constexpr std::string_view kInternalPrnAccount =
    "An internal error occurred creating the XML stream. Please close Tallowin, reboot your workstation and "
    "try again. \n  If the problem occurs again, please contact Brenlo support.";

inline constexpr std::string_view kNoRecordElement =
    "Unable to determine the type of import being done. Please try again.";

// The data file cannot be opened: before and after its path.
inline constexpr std::string_view kOpenBefore = "Error opening import file ";
inline constexpr std::string_view kOpenAfter = " for reading!";
// The data file is larger than the memory a read of it needs.
inline constexpr std::string_view kTooLargeBefore = "The import file ";
inline constexpr std::string_view kTooLargeAfter = " is too large to read.";
// A data file that another program shortened while it was read.
inline constexpr std::string_view kNotUtf16Before = "The import file ";
inline constexpr std::string_view kNotUtf16After = " is not valid UTF-16 text.";

inline constexpr std::string_view kChangedBefore = "The import file ";
inline constexpr std::string_view kChangedAfter = " changed while it was read. Please try again.";

// A read the front end cancelled.
inline constexpr std::string_view kCancelled = "The import was cancelled.";

// 25 blank lines in a row: before and after the number of the first.
inline constexpr std::string_view kBlankRunBefore = "Beginning at row ";
inline constexpr std::string_view kBlankRunAfter =
    ", there are at least 25 contiguous blank lines.\nPlease correct import file and try again.";

// A name that XML cannot carry: before and after the name.
inline constexpr std::string_view kBadNameBefore = "The name \"";
inline constexpr std::string_view kBadNameAfter =
    "\" cannot be used as an XML element name. Please correct the template and try again.";

// Fixed-width journal entries whose blank lines break the format.
inline constexpr std::string_view kJournalFormat =
    "Invalid format for Journal Entries.\nCheck the number of blank lines between Journal Entries - "
    "there should be two.\n Also check for the presence of otherwise valid data other than Account Number "
    "and/or Account Balance lines.\n Please correct import file and try again.";

}  // namespace zephrin::messages
