#include "core/read_result.h"

#include <algorithm>

#include "core/text.h"

namespace morvex::core {

const char* readIssueName(ReadIssue kind) {
  switch (kind) {
    case ReadIssue::EndsEarly: return "ends early";
    case ReadIssue::CountCapped: return "count capped";
    case ReadIssue::SectionOutside: return "section outside the file";
    case ReadIssue::Malformed: return "malformed";
    case ReadIssue::UnsupportedVersion: return "unsupported version";
    case ReadIssue::WrongKind: return "not this kind of file";
    case ReadIssue::CannotOpen: return "cannot open";
    case ReadIssue::Cancelled: return "cancelled";
    case ReadIssue::UnknownContent: return "unknown content";
  }
  return "unknown";
}

void ReadResult::addPartial(ReadIssue kind, uint64_t offset, std::string message) {
  problems.push_back({kind, offset, std::move(message)});
  if (outcome == ReadOutcome::Complete) outcome = ReadOutcome::Partial;
}

void ReadResult::addCutShort(const std::string& fileName, const char* section, uint64_t sectionStart,
                             uint64_t fileSize) {
  if (sectionStart > fileSize)
    addPartial(ReadIssue::SectionOutside, sectionStart,
               fileName + ": " + section + " starts at " + std::to_string(sectionStart) + ", outside the file of " +
                   std::to_string(fileSize) + " bytes");
  else
    addPartial(ReadIssue::EndsEarly, fileSize,
               fileName + " ends early at " + std::to_string(fileSize) + " (inside " + section + ")");
}

void ReadResult::addLayoutMismatch(const std::string& fileName, const std::string& field, uint64_t stored,
                                   uint64_t read) {
  addPartial(ReadIssue::Malformed, 0,
             fileName + ": " + field + " is " + std::to_string(stored) + ", what was read makes it " +
                 std::to_string(read));
}

void ReadResult::refuse(ReadIssue kind, uint64_t offset, std::string message) {
  problems.push_back({kind, offset, std::move(message)});
  outcome = ReadOutcome::Refused;
}

void ReadResult::merge(const ReadResult& part) {
  if (part.complete()) return;
  problems.insert(problems.end(), part.problems.begin(), part.problems.end());
  if (outcome == ReadOutcome::Complete) outcome = ReadOutcome::Partial;
}

std::string ReadResult::summary() const {
  std::string s;
  for (const auto& p : problems) {
    if (!s.empty()) s += "; ";
    s += p.message;
  }
  return s;
}

std::string versionText(uint32_t version) {
  std::string s;
  for (int i = 3; i >= 0; --i) {
    auto c = static_cast<unsigned char>((version >> (8 * i)) & 0xFF);
    if (c >= 0x20 && c < 0x7F) {
      s.push_back(static_cast<char>(c));
    } else {
      s += "\\x" + hexText(c, 2);
    }
  }
  return s;
}

std::string unsupportedVersionMessage(const std::string& fileName, const std::string& version) {
  std::string m = fileName + ": version " + version;
  // Version 0300 marks the files of Ultra HD discs, whose layout differs.
  if (version == "0300") m += " (Ultra HD)";
  return m + " is not supported";
}

int64_t firstDifference(const std::vector<uint8_t>& image, const std::vector<uint8_t>& rewritten) {
  const size_t n = std::min(image.size(), rewritten.size());
  for (size_t i = 0; i < n; ++i)
    if (image[i] != rewritten[i]) return static_cast<int64_t>(i);
  if (image.size() != rewritten.size()) return static_cast<int64_t>(n);
  return -1;
}

void refuseUnknownContent(ReadResult& res, const std::string& fileName, uint64_t offset, const std::string& what) {
  res.refuse(ReadIssue::UnknownContent, offset,
             fileName + ": version 0300 holds " + what + " at $" + hexText(offset, 8) +
                 " that this program does not know; the file is not taken, so it is never rewritten without it");
}

}  // namespace morvex::core
