// What a read gives back: its outcome, typed, and its text.
#pragma once

#include <cstddef>
#include <optional>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "result/text_buffer.h"

namespace zephrin {

enum class ReadOutcome {
  kDocument,       // the records: a result document
  kError,          // an error document with a message
  kEmpty,          // an empty text (a DIF file without a usable header)
  kUnknownFormat,  // the text for a file name of no known format (not XML)
};

// "document", "error", "empty", "unknown-format": the names hosts see.
constexpr std::string_view OutcomeName(ReadOutcome outcome) {
  switch (outcome) {
    case ReadOutcome::kDocument: return "document";
    case ReadOutcome::kError: return "error";
    case ReadOutcome::kEmpty: return "empty";
    case ReadOutcome::kUnknownFormat: return "unknown-format";
  }
  return "";
}

// What a line of a data file may hold that its reader takes as the format
// says, though a person may have meant otherwise.
enum class LineNote {
  kQuoteLeftOpen,   // the line ends inside a double quote it opened: the lines after it join its last field
  kCarriageReturn,  // a carriage return inside the line does not end it
  kTab,             // a tab in a fixed-width line counts as one column, where an editor shows several
};

// A line of a comma-separated file with more fields than most of its lines
// have, two or more of them in a row reading as one amount written with
// thousands commas ("1,234.56"), which the commas split into fields.
struct SplitAmount {
  long line = 0;  // from 1
  std::size_t fields = 0;
  std::string amount;  // the fields joined again with their commas
};
struct SplitAmounts {
  std::size_t usualFields = 0;    // the count of fields most lines have
  bool fromHeader = false;         // ... or the header line has, every line being split
  // "most lines have 5", "the header line has 3".
  std::string Usual() const {
    return (fromHeader ? "the header line has " : "most lines have ") + std::to_string(usualFields);
  }
  std::vector<SplitAmount> lines;  // in line order, the first 1,000 at most
  std::size_t more = 0;            // such lines past the listed ones
  bool reviewed = true;            // the review lists them (it takes no jurisdiction file)
};

// A workbook's cells that hold a formula whose result the workbook does not
// keep (a program that does not compute formulas wrote it): they read as
// empty. How many, and the first one ("B3").
struct UncomputedFormulas {
  std::size_t cells = 0;
  std::string first;
  // "cell B3 holds a formula whose result the workbook does not keep, so it
  // reads as empty (2 more cells alike): ...", the words of a warning and
  // of the review's finding.
  std::string Said() const {
    const std::size_t others = cells - 1;
    return "cell " + first + " holds a formula whose result the workbook does not keep, so it reads as empty" +
           (others == 0 ? std::string() : " (" + std::to_string(others) + " more cell" + (others == 1 ? "" : "s") + " alike)") +
           ": the program that wrote the workbook did not compute its formulas; open it in a spreadsheet program "
           "and save it again";
  }
};

struct ReadResult {
  ReadOutcome outcome = ReadOutcome::kEmpty;
  // The text (UTF-8). A document streamed to a sink went there whole, and
  // its text here is empty; every other outcome's text is here.
  TextBuffer text;
  // How many values of the data file the document holds (values that are not
  // empty): a document of records whose elements are all empty holds none.
  std::size_t valuesWritten = 0;
  // How many rows (lines) of the data from the template's first one on a
  // plain read took (unset for the readers that do not count them), and
  // whether it read a workbook's sheet: what a read without any value tells
  // the user why.
  std::optional<std::size_t> rows;
  // How many items the plain read's template places (unset for the other
  // readers): none explains a read without a value at once.
  std::optional<std::size_t> itemsPlaced;
  // The read passed over journal entries as not of the kind it reads.
  bool passedOverEntries = false;
  // The first line (from 1) that ended inside a double quote it opened, whose
  // next lines were then read into one field; 0 when none did.
  long quoteLeftOpenLine = 0;
  // The first line (from 1) with a carriage return inside it, which does not
  // end it: 0 when none has.
  long carriageReturnLine = 0;
  // The first line (from 1) of fixed-width text with a tab in it; 0 when none has.
  long tabLine = 0;
  // The first line (from 1) with a byte that is not UTF-8 in a text that
  // holds UTF-8 letters besides: the text was read as Windows-1252, each of
  // those letters as two characters; 0 when none.
  long notUtf8Line = 0;
  // A Ctrl-Z, the end-of-file mark of old programs, ended the text on this
  // line (from 1) while text followed it, which was not read; 0 when none did.
  long ctrlZLine = 0;
  // The file's name ends in .xls, but it holds text, which was read as that
  // name's letters say: as fixed-width text.
  bool textNamedAsWorkbook = false;
  // The data ended without the mark that closes its format (a DIF file
  // without its "EOD"): the file may have been cut short.
  bool endMarkMissing = false;
  // A jurisdiction file's first line (from 1) with a value in a column past
  // its header row's last, which no column took; 0 when none.
  long valueBeyondHeaderLine = 0;
  bool fromWorkbook = false;
  // The lines whose amounts thousands commas split (a comma-separated file's).
  SplitAmounts splitAmounts;
  UncomputedFormulas uncomputedFormulas;
  // The document's text was written as the inside of a JSON string (the
  // read was asked for that; see ReadHooks::jsonString).
  bool jsonString = false;

  static ReadResult Of(ReadOutcome outcome, std::string_view text) {
    ReadResult r;
    r.outcome = outcome;
    r.text.Append(text);
    return r;
  }
  static ReadResult Error(std::string_view document) { return Of(ReadOutcome::kError, document); }
  static ReadResult Empty() { return {}; }
};

// Watches the records a read builds, for a review of what was read: each
// record as it starts, with the line of the data file it starts on, and
// each value written into it. A read without one pays nothing for it.
class RecordObserver {
 public:
  virtual ~RecordObserver() = default;
  // A record (or a journal entry) starts on `line` of the data file (from 1).
  virtual void Record(long line) = 0;
  // A value of the plan's item `item`, on `line`, as the document holds it.
  // `amount`: the read took the value for a signed amount and wrote it as a
  // plain decimal (a sign, digits, a point), whatever the file's form was;
  // a value the amount rule could not read is written, and told, as it stands.
  virtual void Value(std::size_t item, std::string_view value, long line, bool amount) = 0;
  // The row on `line` holds what its reader takes otherwise than a person
  // may mean (told after the row's values).
  virtual void Noted(long line, LineNote what) {}
};

// What a read may ask of the front end. Every member may be left empty.
struct ReadHooks {
  // Where a streamed document goes (nullptr: the whole text is returned).
  OutputSink* sink = nullptr;
  // A reader that can writes its document as the inside of a JSON string,
  // escaped as the host protocol's answer escapes it, and says so in the
  // result; every other text comes as it is.
  bool jsonString = false;
  // Bytes of the data file handled so far, now and then, for a progress bar.
  // Returning false cancels the read: it ends with the error document "The
  // import was cancelled." (a streamed document's pieces are then void).
  std::function<bool(std::size_t done, std::size_t total)> progress;
  // A message box (caption and text, UTF-8).
  std::function<void(std::string_view caption, std::string_view text)> message;
  // Told of every record and value the read builds (nullptr: nobody).
  RecordObserver* observer = nullptr;
  // Only the observer wants the read (a review): the usual read without rules
  // or journal entries then writes no value elements, which the document,
  // dropped anyway, would only have carried.
  bool valuesOnly = false;
};

// Tells the progress hook how far a read is, every few megabytes of the file
// (and first after a quarter of one), and once at the end; it may cancel at
// any of them.
class ProgressTicker {
 public:
  explicit ProgressTicker(const ReadHooks& hooks) : m_progress(hooks.progress) {}
  // False when the front end cancelled the read.
  [[nodiscard]] bool Tick(std::size_t done, std::size_t total) {
    if (done < m_next) return true;
    m_next = done + (std::size_t{8} << 20);
    return !m_progress || m_progress(done, total);
  }
  // The same for a source of rows (its consumed() and size()): the size is
  // asked for only when a report is due.
  template <class Source>
  [[nodiscard]] bool Tick(const Source& source) {
    const std::size_t done = source.consumed();
    return done < m_next || Tick(done, source.size());
  }
  // The offset of the next report.
  std::size_t next() const { return m_next; }
  // The report at the end: false when the front end cancelled the read even
  // then (the document is not finished, so the cancel still holds).
  [[nodiscard]] bool Done(std::size_t total) const { return !m_progress || m_progress(total, total); }

 private:
  const std::function<bool(std::size_t, std::size_t)>& m_progress;
  std::size_t m_next = std::size_t{256} << 10;
};

}  // namespace zephrin
