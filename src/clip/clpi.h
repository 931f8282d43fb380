#pragma once
// Clip information (.clpi): the description of one AV stream file of the disc folder.
//
// A clip information file starts with a 40-byte header (type indicator "HDMV",
// version "0100"/"0200", five absolute start addresses, 12 reserved bytes) followed by
// ClipInfo at offset 40; SequenceInfo, ProgramInfo, CPI (the entry-point map), ClipMark
// and ExtensionData sit at their start addresses. Numbers are big-endian.
//
// The reader consumes exactly the tabled bytes of each section (lengths are not used to
// skip); reserved bytes, the network information and the stream format name are read
// and dropped, and the writer puts zeros there.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "core/binary.h"
#include "core/extension_data.h"
#include "core/log.h"
#include "core/read_result.h"
#include "core/save.h"
#include "core/write_result.h"

namespace morvex::clip {

struct AtcDeltaEntry {
  uint32_t atcDelta = 0;
  std::string followingClip = "00000";  // following clip information file name (5)
  std::string clipCodec = "m2ts";       // clip codec identifier (4)
  bool operator==(const AtcDeltaEntry&) const = default;
};

struct ClipInfoBlock {
  uint32_t length = 0;
  uint8_t clipStreamType = 1;
  uint8_t applicationType = 1;
  uint8_t isAtcDelta = 0;
  uint32_t tsRecordingRate = 0;
  uint32_t numberOfSourcePackets = 0;
  uint16_t tsTypeInfoLength = 0;
  uint8_t validityFlags = 0;
  std::string formatIdentifier;
  std::vector<AtcDeltaEntry> atcDeltaEntries;
  std::vector<std::string> fontFiles;
  bool operator==(const ClipInfoBlock&) const = default;
};

struct StcSequence {
  uint16_t pcrPid = 0;
  uint32_t spnStcStart = 0;
  uint32_t presentationStartTime = 0;  // 45 kHz
  uint32_t presentationEndTime = 0;
  bool operator==(const StcSequence&) const = default;
};

struct AtcSequence {
  uint32_t spnAtcStart = 0;
  uint8_t offsetStcId = 0;
  std::vector<StcSequence> stcSequences;
  bool operator==(const AtcSequence&) const = default;
};

struct SequenceInfo {
  uint32_t length = 0;
  std::vector<AtcSequence> atcSequences;
  bool operator==(const SequenceInfo&) const = default;
};

// One elementary stream of a program. Which attributes are meaningful depends on the
// coding type (video: format, rate, aspect, copy flag; audio: presentation type,
// sampling frequency, audio language; PG/IG/text subtitle: their language). HEVC video
// (version 0300) adds the CR flag as bit 0 of the aspect byte, a byte of dynamic range
// type (high nibble) and colour space (low nibble), and the HDR10+ flag as bit 7 of
// the byte after it.
struct ClipStream {
  uint16_t pid = 0;
  uint8_t codingInfoLength = 0;
  uint8_t codingType = 0;
  uint8_t videoFormat = 0;
  uint8_t frameRate = 0;
  uint8_t aspectRatio = 0;
  uint8_t cpFlag = 0;
  uint8_t crFlag = 0;            // HEVC
  uint8_t dynamicRangeType = 0;  // HEVC: 0 SDR, 1 HDR10, 2 Dolby Vision
  uint8_t colorSpace = 0;        // HEVC: 1 BT.709, 2 BT.2020
  uint8_t hdrPlusFlag = 0;       // HEVC
  std::string isrcCountry, isrcOwner, isrcYear, isrcNumber;  // recording code 2/3/2/5
  uint8_t audioPresentationType = 0;
  uint8_t samplingFrequency = 0;
  std::string audioLanguage, pgLanguage, igLanguage, textStLanguage;
  uint8_t characterCode = 0;
  bool operator==(const ClipStream&) const = default;
};

struct ProgramSequence {
  uint32_t spnProgramSequenceStart = 0;
  uint16_t programMapPid = 0;
  std::vector<ClipStream> streams;
  bool operator==(const ProgramSequence&) const = default;
};

struct ProgramInfo {
  uint32_t length = 0;
  std::vector<ProgramSequence> programSequences;
  bool operator==(const ProgramInfo&) const = default;
};

struct EpMapEntry {
  uint16_t streamPid = 0;
  uint8_t epStreamType = 0;
  uint32_t numCoarse = 0;  // up to 18 bits in the file's packing
  uint32_t numFine = 0;    // 18 bits
  uint32_t mapStartAddress = 0;
  bool operator==(const EpMapEntry&) const = default;
};

struct EpCoarse {
  uint32_t refToEpFineId = 0;  // 18 bits
  uint16_t ptsEpCoarse = 0;      // 14 bits
  uint32_t spnEpCoarse = 0;
  bool operator==(const EpCoarse&) const = default;
};

struct EpFine {
  uint8_t isAngleChangePoint = 0;
  uint8_t iEndPositionOffset = 0;  // 3 bits
  uint16_t ptsEpFine = 0;           // 11 bits
  uint32_t spnEpFine = 0;           // 17 bits
  bool operator==(const EpFine&) const = default;
};

struct EpMap {
  uint32_t fineTableStartAddress = 0;  // from the start of this PID's map
  std::vector<EpCoarse> coarse;
  std::vector<EpFine> fine;
  bool operator==(const EpMap&) const = default;
};

struct Cpi {
  uint32_t length = 0;  // 0 = no CPI
  uint16_t cpiType = 0;  // the whole 16-bit word: 12 reserved bits and the 4-bit type
  std::vector<EpMapEntry> epMapEntries;
  std::vector<EpMap> maps;
  bool operator==(const Cpi&) const = default;
};

struct ClipInfo {
  std::string typeIndicator;
  std::string version;
  uint32_t sequenceInfoStart = 0;
  uint32_t programInfoStart = 0;
  uint32_t cpiStart = 0;
  uint32_t clipMarkStart = 0;
  uint32_t extensionDataStart = 0;
  ClipInfoBlock clipInfo;
  SequenceInfo sequenceInfo;
  ProgramInfo programInfo;
  Cpi cpi;
  uint32_t clipMarkLength = 0;
  // The ClipMark body is not interpreted; its bytes are kept so a file with marks is
  // written back whole instead of losing them.
  core::Bytes clipMarkData;
  core::ExtensionData extensionData;
  bool operator==(const ClipInfo&) const = default;
};

// Reads a clip information image into `clpi`. Logs "Reading [bl]name[/bl]" first, an
// error for a wrong format ("Invalid format: " + name) or a short file, and on success
// "[b]n[/b] Program stream(s) found." (n = streams of the first program sequence).
// A wrong type indicator or version is refused (only those two fields change); a file
// that ends inside a table is partial and keeps what was read. A version 0300 file is
// taken only when the writer gives back every byte of it; otherwise it is refused
// naming the first thing the model does not keep (a coding type, a section's bytes).
core::ReadResult readClipInfo(const core::Bytes& image, const std::string& fileName, ClipInfo& clpi, core::Log& log);

// Reads a file from disc (an open or read failure logs the system's message).
core::ReadResult readClipInfoFile(const std::filesystem::path& file, ClipInfo& clpi, core::Log& log);

// The ClipInfo length the writer computes: 176, plus 2 + 14 n with the ATC delta
// block, plus 2 + 6 m for the font block of application type 6.
uint32_t clipInfoLength(const ClipInfo& clpi);

// Settles the lengths and start addresses the writer lays out: the sections one after
// the other, the header naming the positions they land at, and the ClipInfo length, so
// a file whose sections had gaps comes out consistent instead of pointing into the
// wrong bytes (for a file without gaps those are the addresses it was read with). An
// ATC delta switch left on without entries is cleared first.
void settleClipInfo(ClipInfo& clpi);

// The file bytes of the model. The sections are written one after the other and the
// header names where they land, as settleClipInfo stores them; the model is not changed.
core::Bytes writeClipInfo(const ClipInfo& clpi);

// Writes the model to `folder/fileName` with the save sequence (backup, atomic write),
// logging "Saving [bl]fileName[/bl]" as the sequence starts. The model is not changed:
// an editor that keeps the file's addresses settles its model once the save succeeded.
core::WriteResult saveClipInfo(const ClipInfo& clpi, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log);

// ---- Packet count check ------------------------------------------------------------

// Whole 192-byte source packets in a stream file of `streamSize` bytes.
inline uint64_t packetsInStream(uint64_t streamSize) { return streamSize / 192; }

// The count the front end offers to store when it differs from the model's; nothing
// when the stream size is 0 or the counts agree.
std::optional<uint64_t> packetCountMismatch(const ClipInfo& clpi, uint64_t streamSize);

// Writes `packets` into the number-of-source-packets field (file offset 56) of the
// clip information file in place: only those four bytes change, the file is neither
// truncated nor rewritten. Fails (with a message) when the file cannot be opened or is
// too short to hold the field, or when the count does not fit the 32-bit field.
core::WriteResult correctPacketCount(const std::filesystem::path& clpiFile, uint64_t packets);

// ---- Editing (the model only; nothing reaches the disc until saved) ----------------

// Moves the SequenceInfo, ProgramInfo, CPI and ClipMark start addresses by `delta`, and
// the ExtensionData start address too when it is not 0.
void shiftStartAddresses(ClipInfo& clpi, int64_t delta);

// The application type list: stores the type. Switching to or from type 6 adds or
// removes the font block, so the start addresses move by its size (2 + 6 m) to stay
// consistent; the font list itself is kept.
void setApplicationType(ClipInfo& clpi, uint8_t type);

// The "ATCd" box: switches the ATC delta block on or off; the entries stay in the model
// and the start addresses move by the block's size (2 + 14 n).
void setATCdelta(ClipInfo& clpi, bool on);

// Inserts an entry (ATC delta 0, "00000", "m2ts") after entry `selected` (at 0 when
// there are none) and returns its index; the start addresses move by 14. Returns -1
// and changes nothing when the 8-bit count is full (255 entries).
int insertATCdeltaEntry(ClipInfo& clpi, int selected);

// Removes entry `index`; the start addresses move by -14. False when there is none.
bool deleteATCdeltaEntry(ClipInfo& clpi, int index);

// The fields an ATC delta entry shows, in the order of its grid.
enum class AtcDeltaField { AtcDelta, FollowingClip, ClipCodec };

// A typed field of an ATC delta entry (the ATC delta in hexadecimal, the following
// clip, the codec identifier, which does not change). Returns the text the field shows
// afterwards. Text still containing a blank (an incomplete mask) is not taken.
std::string setATCdeltaCell(ClipInfo& clpi, int index, AtcDeltaField field, const std::string& text);

}  // namespace morvex::clip
