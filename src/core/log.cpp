#include "core/log.h"

namespace morvex::core {

Rgb colourRgb(LogColour c) {
  switch (c) {
    case LogColour::Blue: return {0, 0, 255};
    case LogColour::Green: return {0, 170, 0};
    case LogColour::Red: return {255, 0, 0};
    case LogColour::Default: break;
  }
  return {0, 0, 0};
}

static void applyTag(std::string_view tag, FormatRun& run) {
  if (tag == "b") run.bold = true;
  else if (tag == "/b") run.bold = false;
  else if (tag == "i") run.italic = true;
  else if (tag == "/i") run.italic = false;
  else if (tag == "u") run.underline = true;
  else if (tag == "/u") run.underline = false;
  else if (tag == "bl") run.colour = LogColour::Blue;
  else if (tag == "gr") run.colour = LogColour::Green;
  else if (tag == "re") run.colour = LogColour::Red;
  else if (tag == "/bl" || tag == "/gr" || tag == "/re") run.colour = LogColour::Default;
  // any other tag has no effect
}

FormattedLine formatLine(std::string_view message) {
  FormattedLine out;
  out.runs.push_back(FormatRun{});
  // Tags are removed one at a time from the front, so tags standing next to each
  // other act on one run; a run starts wherever text precedes the next tag. Building
  // the result left to right keeps long lines linear.
  out.text.reserve(message.size() + 1);
  out.text.push_back(' ');
  size_t i = 0;
  while (i < message.size()) {
    size_t p = message.find('[', i);
    if (p == std::string_view::npos) break;
    size_t q = message.find(']', p + 1);
    if (q == std::string_view::npos) break;  // unmatched "[": kept as text
    out.text.append(message.substr(i, p - i));
    size_t at = out.text.size();
    if (out.runs.back().pos < at) {
      FormatRun next = out.runs.back();
      next.pos = at;
      next.size = 8;
      out.runs.push_back(next);
    }
    applyTag(message.substr(p + 1, q - p - 1), out.runs.back());
    i = q + 1;
  }
  if (i < message.size()) out.text.append(message.substr(i));
  return out;
}

std::string stripTags(std::string_view message) {
  std::string out;
  out.reserve(message.size());
  size_t i = 0;
  while (i < message.size()) {
    size_t p = message.find('[', i);
    if (p == std::string_view::npos) break;
    size_t q = message.find(']', p + 1);
    if (q == std::string_view::npos) break;
    out.append(message.substr(i, p - i));
    i = q + 1;
  }
  if (i < message.size()) out.append(message.substr(i));
  return out;
}

void Log::line(std::string_view message, Severity severity) {
  FormattedLine formatted = formatLine(message);
  formatted.severity = severity;
  appendLine(formatted);
}

void Log::info(std::string_view message) { line(message, Severity::Info); }

void Log::paragraph(std::string_view message) {
  info(message);
  info("");
}

void Log::warning(std::string_view message) { line(message, Severity::Warning); }

void Log::errorLine(std::string_view message) { line(message, Severity::Error); }

void Log::detail(std::string_view message) {
  info(message);
  status(StatusPanel::Detail, stripTags(message));
}

void Log::stage(std::string_view message) {
  info(message);
  status(StatusPanel::Main, stripTags(message));
  status(StatusPanel::Detail, "");
}

void Log::status(StatusPanel panel, std::string_view text) { setStatus(panel, std::string(text)); }

void Log::statusReady() {
  status(StatusPanel::Main, "Ready.");
  status(StatusPanel::Detail, "");
}

void Log::errorStatus(std::string_view message) { showError(stripTags(message)); }

void Log::error(std::string_view message) {
  std::string text = "[re]ERROR:[/re] [b]";
  text += message;
  text += "[/b]";
  line(text, Severity::Error);
  errorStatus(message);
  errorSeen_ = true;
  beep();
}

std::vector<std::string> MemoryLog::plainLines() const {
  std::vector<std::string> out;
  out.reserve(lines.size());
  for (const auto& l : lines) out.push_back(l.text.empty() ? std::string() : l.text.substr(1));
  return out;
}

std::string MemoryLog::text() const {
  std::string s;
  for (const auto& l : plainLines()) {
    s += l;
    s += '\n';
  }
  return s;
}

void MemoryLog::setStatus(StatusPanel panel, const std::string& text) {
  statusText[static_cast<int>(panel)] = text;
  if (panel == StatusPanel::Main) errorBox = false;
}

void MemoryLog::showError(const std::string& text) {
  errorBox = true;
  errorText = text;
  statusText[1] = " " + text;
}

}  // namespace morvex::core
