#pragma once
// The message log and the status line.
//
// Messages carry a small inline markup of square-bracket tags: [b] [/b] bold,
// [i] [/i] italic, [u] [/u] underline, [bl] [gr] [re] blue, green, red, and any of
// [/bl] [/gr] [/re] back to the default colour. Any other text between "[" and "]"
// is a tag without effect and is removed too. A "[" with no "]" after it is kept as
// plain text together with the rest of the line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvex::core {

enum class LogColour : uint8_t { Default, Blue, Green, Red };

// How serious a line is; front ends route and colour by it (the command line sends
// errors to stderr).
enum class Severity : uint8_t { Info, Warning, Error };

// RGB of the three markup colours (the default colour is the front end's text colour).
struct Rgb {
  uint8_t r, g, b;
};
Rgb colourRgb(LogColour c);

struct FormatRun {
  size_t pos = 0;  // byte offset into FormattedLine::text where the run starts
  bool bold = false;
  bool italic = false;
  bool underline = false;
  LogColour colour = LogColour::Default;
  int size = 8;  // points
  bool operator==(const FormatRun&) const = default;
};

struct FormattedLine {
  std::string text;             // the line as shown: one leading space, tags removed
  std::vector<FormatRun> runs;  // first run at 0; each run ends where the next begins
  Severity severity = Severity::Info;
};

// Parses a message into the shown text and its formatting runs.
FormattedLine formatLine(std::string_view message);

// Removes every "[...]" piece (brackets included), for the status bar and tooltips.
// An unmatched "[" and what follows it are kept.
std::string stripTags(std::string_view message);

// The two panels of the status line: the main text and the detail beside it.
enum class StatusPanel : uint8_t { Main, Detail };

// Where messages go. The desktop front end shows lines in its rich-text log and the
// panels in its status bar; the command line prints them; tests record them.
//
// Lines are written by severity: info, warning, error. detail and stage also echo the
// line in the status line, for work that reports as it goes.
class Log {
public:
  virtual ~Log() = default;

  // A line of information.
  void info(std::string_view message);
  // A line of information followed by an empty line, closing a block of report.
  void paragraph(std::string_view message);
  // A warning line (the command line sends it with the errors).
  void warning(std::string_view message);
  // An error: "ERROR: <message>" in the log, the status line's error box, a beep, and
  // the error state is set until clearError().
  void error(std::string_view message);
  // A line of error severity as written, without the prefix, the error box, the beep
  // or the error state: an error that is reported but does not fail the operation.
  void errorLine(std::string_view message);
  // A line of information that also shows in the detail panel.
  void detail(std::string_view message);
  // A stage of longer work: logged, shown in the main panel, the detail panel cleared.
  void stage(std::string_view message);

  // Plain text in one panel of the status line (the error box, if shown, ends).
  void status(StatusPanel panel, std::string_view text);
  // "Ready." in the main panel, the detail panel cleared.
  void statusReady();
  // The status line's red error box with the text, without a log line.
  void errorStatus(std::string_view message);

  // Whether an error was logged since the last clearError(). Whoever starts an
  // operation that tests it (a save) clears it first.
  bool hadError() const { return errorSeen_; }
  void clearError() { errorSeen_ = false; }

protected:
  // A formatted line to append.
  virtual void appendLine(const FormattedLine& line) = 0;
  // One panel gets plain text (the error box, if shown, ends).
  virtual void setStatus(StatusPanel panel, const std::string& text) { (void)panel; (void)text; }
  // The main panel becomes the red "ERROR" box; the detail panel and the tooltip show the text.
  virtual void showError(const std::string& text) { (void)text; }
  virtual void beep() {}

private:
  void line(std::string_view message, Severity severity);
  bool errorSeen_ = false;
};

// Discards everything; for callers that read silently.
class NullLog : public Log {
protected:
  void appendLine(const FormattedLine&) override {}
};

// Records plain lines and status panels in memory (tests, batch tools).
class MemoryLog : public Log {
public:
  std::vector<FormattedLine> lines;
  std::string statusText[2];  // indexed by StatusPanel
  bool errorBox = false;
  std::string errorText;
  int beeps = 0;

  // Plain text of each line without its leading space.
  std::vector<std::string> plainLines() const;
  // All lines joined with '\n'.
  std::string text() const;

protected:
  void appendLine(const FormattedLine& line) override { lines.push_back(line); }
  void setStatus(StatusPanel panel, const std::string& text) override;
  void showError(const std::string& text) override;
  void beep() override { ++beeps; }
};

}  // namespace morvex::core
