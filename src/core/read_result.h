#pragma once
// What a reader reports about the file it read. Every reader of the engine (index,
// movie objects, sound, playlist, clip information, BD-J object, menu) returns this
// type, with the same parameter order: the image, the file's name, the model it fills,
// the log.
//
// Three outcomes:
//   Complete  every byte the file declares was read;
//   Partial   the model holds what could be read, and `problems` says why the rest
//             was not (the file ends early at an offset, a count was capped, a
//             section lies outside the file);
//   Refused   the model is not usable: wrong kind of file, unsupported version
//             (named), or the file could not be opened.
// The log still receives the reader's lines for a person to read; callers decide from
// this value, never from the log's text.
#include <cstdint>
#include <string>
#include <vector>

namespace morvex::core {

enum class ReadOutcome : uint8_t { Complete, Partial, Refused };

enum class ReadIssue : uint8_t {
  EndsEarly,           // the file ended at `offset` before its declared contents
  CountCapped,         // a declared count was larger than the reader takes
  SectionOutside,      // a start address points outside the file
  Malformed,           // a field holds a value the format does not allow
  UnsupportedVersion,  // the type matched, the version is not one the reader knows
  WrongKind,           // not this kind of file
  CannotOpen,          // the file could not be read at all
  Cancelled,           // the user stopped the read
  UnknownContent,      // a version 0300 file holds something the model does not keep
};

// "ends early", "count capped", ... for messages and machine-readable output.
const char* readIssueName(ReadIssue kind);

struct ReadProblem {
  ReadIssue kind = ReadIssue::Malformed;
  uint64_t offset = 0;  // file position the problem was found at
  std::string message;  // one line naming the file, e.g. "index.bdmv: version 0300 (Ultra HD) is not supported"
  bool operator==(const ReadProblem&) const = default;
};

struct ReadResult {
  ReadOutcome outcome = ReadOutcome::Complete;
  std::vector<ReadProblem> problems;  // empty exactly when complete

  bool complete() const { return outcome == ReadOutcome::Complete; }
  bool partial() const { return outcome == ReadOutcome::Partial; }
  bool refused() const { return outcome == ReadOutcome::Refused; }
  // The model holds something usable (complete or partial).
  bool usable() const { return outcome != ReadOutcome::Refused; }

  // Records a shortfall; a refused result stays refused.
  void addPartial(ReadIssue kind, uint64_t offset, std::string message);
  // A read that ran past the end of a file of `fileSize` bytes while in `section`: the
  // section starting beyond the file is told apart from a file that stops inside it.
  void addCutShort(const std::string& fileName, const char* section, uint64_t sectionStart, uint64_t fileSize);
  // A stored start address, length or count that disagrees with what was read: the
  // rest of the file cannot be trusted to be where the file says, so the read is
  // partial and names the field ("<file>: <field> is <stored>, what was read makes it
  // <read>").
  void addLayoutMismatch(const std::string& fileName, const std::string& field, uint64_t stored, uint64_t read);
  // Marks the result refused.
  void refuse(ReadIssue kind, uint64_t offset, std::string message);
  // Takes over the problems of a nested read (a refused part makes this partial).
  void merge(const ReadResult& part);

  // The problems' messages joined with "; " (empty when complete).
  std::string summary() const;

  static ReadResult refusal(ReadIssue kind, uint64_t offset, std::string message) {
    ReadResult r;
    r.refuse(kind, offset, std::move(message));
    return r;
  }
};

// The four version characters of a file as read, for messages: printable ASCII as
// is, any other byte as \xHH.
std::string versionText(uint32_t version);
// "<file>: version <v> is not supported", with " (Ultra HD)" for 0300.
std::string unsupportedVersionMessage(const std::string& fileName, const std::string& version);

// Version 0300 files (Ultra HD) are taken only when the model holds every byte of them:
// a reader writes the model back and compares. The first offset where `rewritten`
// differs from `image`, or -1 when they are equal.
int64_t firstDifference(const std::vector<uint8_t>& image, const std::vector<uint8_t>& rewritten);
// Refuses `res` with "<file>: version 0300 holds <what> at $XXXXXXXX that this program
// does not know; the file is not taken, so it is never rewritten without it".
void refuseUnknownContent(ReadResult& res, const std::string& fileName, uint64_t offset, const std::string& what);

}  // namespace morvex::core
