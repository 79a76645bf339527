// The error texts of the plain readers. Several differ only in their blanks;
// hosts and the people who read them have seen them as they are, so each is
// kept exactly.
#pragma once

#include <string_view>

namespace zephrin::messages {

// A journal-entry account field with no "Acct" to go into: two blanks before
// "Please" (the DIF reader and the fixed-width reader's account fields) or one
// (the CSV reader and the fixed-width reader's empty balance).
inline constexpr std::string_view kNoAcctTwoBlanks =
    "<Error>Template error occurred. There is no blank line between the JE header and the account information.  "
    "Please correct the template and try the import again.</Error>";
inline constexpr std::string_view kNoAcctOneBlank =
    "<Error>Template error occurred. There is no blank line between the JE header and the account information. "
    "Please correct the template and try the import again.</Error>";

// Failures of the XML engine, in the three wordings the readers use.
inline constexpr std::string_view kInternalCsv =
    "<Error>An internal error occurred creating the XML stream.  Please close Tallowin, reboot your workstation and "
    "try again. \n  If the problem occurs again, please contact Brenlo support.</Error>";
inline constexpr std::string_view kInternalAccount =
    "<Error>An internal error occurred creating the XML stream. Please close Tallowin, reboot your workstation and "
    "try again.\nIf the problem occurs again, please contact Brenlo support.</Error>";
inline constexpr std::string_view kInternalPrnAccount =
    "<Error>An internal error occurred creating the XML stream. Please close Tallowin, reboot your workstation and "
    "try again. \n  If the problem occurs again, please contact Brenlo support.</Error>";

inline constexpr std::string_view kNoRecordElement =
    "<Error>Unable to determine the type of import being done. Please try again.</Error>";

}  // namespace zephrin::messages
