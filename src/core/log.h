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
// errors to stderr). erlog lines are errors; plain log lines are information unless
// the caller says otherwise.
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

// Where messages go. The desktop front end shows lines in its rich-text log and the
// panels in its status bar; the command line prints them; tests record them.
class Log {
public:
  virtual ~Log() = default;

  void log(std::string_view message, Severity severity = Severity::Info);
  void log2(std::string_view message);
  void dlog(std::string_view message);
  void dlog0(std::string_view message);
  void slog(std::string_view text, int panel);
  void slogR();
  // slog, then the front end keeps the text visible for the activation delay.
  void slogw(std::string_view text, int panel);
  void erslog(std::string_view message);
  void erlog(std::string_view message);

  // Set by erlog; cleared only by whoever starts an operation that tests it (a save).
  bool errorflag = false;

protected:
  // A formatted line to append.
  virtual void appendLine(const FormattedLine& line) = 0;
  // Panel 0 or 1 gets plain text (the error box, if shown, ends).
  virtual void setStatus(int panel, const std::string& text) { (void)panel; (void)text; }
  // Panel 0 becomes the red "ERROR" box; panel 1 and the tooltip show the text.
  virtual void showError(const std::string& text) { (void)text; }
  virtual void beep() {}
  // Called by slogw: the front end may keep the status visible for a while.
  virtual void showDelay() {}
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
  std::string status[2];
  bool errorBox = false;
  std::string errorText;
  int beeps = 0;

  // Plain text of each line without its leading space.
  std::vector<std::string> plainLines() const;
  // All lines joined with '\n'.
  std::string text() const;

protected:
  void appendLine(const FormattedLine& line) override { lines.push_back(line); }
  void setStatus(int panel, const std::string& text) override;
  void showError(const std::string& text) override;
  void beep() override { ++beeps; }
};

}  // namespace morvex::core
