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

namespace morvex::clip {

struct TATCDeltaEntry {
  uint32_t ATC_delta = 0;
  std::string following_clip = "00000";  // following clip information file name (5)
  std::string clip_codec = "m2ts";       // clip codec identifier (4)
  bool operator==(const TATCDeltaEntry&) const = default;
};

struct TClipInfo {
  uint32_t length = 0;
  uint8_t clip_stream_type = 1;
  uint8_t application_type = 1;
  uint8_t is_ATC_delta = 0;
  uint32_t TS_recording_rate = 0;
  uint32_t number_of_source_packets = 0;
  uint16_t TS_type_info_length = 0;
  uint8_t validity_flags = 0;
  std::string format_identifier;
  std::vector<TATCDeltaEntry> ATC_delta_entries;
  std::vector<std::string> font_files;
  bool operator==(const TClipInfo&) const = default;
};

struct TSTC_sequence {
  uint16_t PCR_PID = 0;
  uint32_t SPN_STC_start = 0;
  uint32_t presentation_start_time = 0;  // 45 kHz
  uint32_t presentation_end_time = 0;
  bool operator==(const TSTC_sequence&) const = default;
};

struct TATC_sequences {
  uint32_t SPN_ATC_start = 0;
  uint8_t offset_STC_id = 0;
  std::vector<TSTC_sequence> STC_sequences;
  bool operator==(const TATC_sequences&) const = default;
};

struct TSequenceInfo {
  uint32_t length = 0;
  std::vector<TATC_sequences> ATC_sequences;
  bool operator==(const TSequenceInfo&) const = default;
};

// One elementary stream of a program. Which attributes are meaningful depends on the
// coding type (video: format, rate, aspect, copy flag; audio: presentation type,
// sampling frequency, audio language; PG/IG/text subtitle: their language).
struct TClipStream {
  uint16_t PID = 0;
  uint8_t coding_info_length = 0;
  uint8_t coding_type = 0;
  uint8_t video_format = 0;
  uint8_t frame_rate = 0;
  uint8_t aspect_ratio = 0;
  uint8_t cp_flag = 0;
  std::string isrc_country, isrc_owner, isrc_year, isrc_number;  // recording code 2/3/2/5
  uint8_t audio_presentation_type = 0;
  uint8_t sampling_frequency = 0;
  std::string audio_language, PG_language, IG_language, textST_language;
  uint8_t character_code = 0;
  bool operator==(const TClipStream&) const = default;
};

struct TProgram_sequences {
  uint32_t SPN_program_sequence_start = 0;
  uint16_t program_map_PID = 0;
  std::vector<TClipStream> streams;
  bool operator==(const TProgram_sequences&) const = default;
};

struct TProgramInfo {
  uint32_t length = 0;
  std::vector<TProgram_sequences> program_sequences;
  bool operator==(const TProgramInfo&) const = default;
};

struct TEP_map_entry {
  uint16_t stream_PID = 0;
  uint8_t EP_stream_type = 0;
  uint32_t num_coarse = 0;  // up to 18 bits in the file's packing
  uint32_t num_fine = 0;    // 18 bits
  uint32_t map_start_address = 0;
  bool operator==(const TEP_map_entry&) const = default;
};

struct TEP_coarse {
  uint32_t ref_to_EP_fine_id = 0;  // 18 bits
  uint16_t PTS_EP_coarse = 0;      // 14 bits
  uint32_t SPN_EP_coarse = 0;
  bool operator==(const TEP_coarse&) const = default;
};

struct TEP_fine {
  uint8_t is_angle_change_point = 0;
  uint8_t I_end_position_offset = 0;  // 3 bits
  uint16_t PTS_EP_fine = 0;           // 11 bits
  uint32_t SPN_EP_fine = 0;           // 17 bits
  bool operator==(const TEP_fine&) const = default;
};

struct TEP_map_fosPID {
  uint32_t fine_table_start_address = 0;  // from the start of this PID's map
  std::vector<TEP_coarse> coarse;
  std::vector<TEP_fine> fine;
  bool operator==(const TEP_map_fosPID&) const = default;
};

struct TCPI {
  uint32_t length = 0;  // 0 = no CPI
  uint16_t CPI_type = 0;  // the whole 16-bit word: 12 reserved bits and the 4-bit type
  std::vector<TEP_map_entry> EP_map;
  std::vector<TEP_map_fosPID> maps;
  bool operator==(const TCPI&) const = default;
};

struct TCLPI {
  std::string type_indicator;
  std::string version;
  uint32_t SequenceInfo_start = 0;
  uint32_t ProgramInfo_start = 0;
  uint32_t CPI_start = 0;
  uint32_t ClipMark_start = 0;
  uint32_t ExtensionData_start = 0;
  TClipInfo ClipInfo;
  TSequenceInfo SequenceInfo;
  TProgramInfo ProgramInfo;
  TCPI CPI;
  uint32_t ClipMark_length = 0;
  // The ClipMark body is not interpreted; its bytes are kept so a file with marks is
  // written back whole instead of losing them.
  core::Bytes ClipMark_data;
  core::TExtensionData ExtensionData;
  bool operator==(const TCLPI&) const = default;
};

// Reads a clip information image into `clpi`. Logs "Reading [bl]name[/bl]" first, an
// error for a wrong format ("Invalid format: " + name) or a short file, and on success
// "[b]n[/b] Program stream(s) found." (n = streams of the first program sequence).
// A wrong type indicator or version is refused (only those two fields change); a file
// that ends inside a table is partial and keeps what was read.
core::ReadResult readCLPI(const core::Bytes& image, const std::string& fileName, TCLPI& clpi, core::Log& log);

// Reads a file from disc (an open or read failure logs the system's message).
core::ReadResult readCLPIFile(const std::filesystem::path& file, TCLPI& clpi, core::Log& log);

// The ClipInfo length the writer computes: 176, plus 2 + 14 n with the ATC delta
// block, plus 2 + 6 m for the font block of application type 6.
uint32_t clipInfoLength(const TCLPI& clpi);

// Turns the model into file bytes. The sections are written one after the other; the
// start addresses in the header are the positions they actually land at (stored back
// into the model together with the ClipInfo length), so a file whose sections had gaps
// comes out consistent instead of pointing into the wrong bytes. For a file without gaps
// those are the addresses it was read with. An ATC delta switch left on without entries
// is cleared first.
core::Bytes writeCLPI(TCLPI& clpi);

// Writes the model to `folder/fileName` with the save sequence (backup, atomic write),
// logging "Saving [bl]fileName[/bl]" as the sequence starts. The model takes the
// settled addresses only when the file was written; a stopped save leaves it alone.
bool saveCLPI(TCLPI& clpi, const std::filesystem::path& folder, const std::string& fileName,
              const core::SaveSettings& settings, core::Log& log);

// ---- Packet count check ------------------------------------------------------------

// Whole 192-byte source packets in a stream file of `streamSize` bytes.
inline uint64_t packetsInStream(uint64_t streamSize) { return streamSize / 192; }

// The count the front end offers to store when it differs from the model's; nothing
// when the stream size is 0 or the counts agree.
std::optional<uint64_t> packetCountMismatch(const TCLPI& clpi, uint64_t streamSize);

// "The m2ts file contains N packets.\nDo you want to correct the packet value of
// ClipInfo?" with thousands separators.
std::string packetCountQuestion(uint64_t packets);

// Writes `packets` into the number-of-source-packets field (file offset 56) of the
// clip information file in place: only those four bytes change, the file is neither
// truncated nor rewritten. Fails (with a message) when the file cannot be opened or is
// too short to hold the field, or when the count does not fit the 32-bit field.
bool correctPacketCount(const std::filesystem::path& clpiFile, uint64_t packets, std::string& error);

// ---- Editing (the model only; nothing reaches the disc until saved) ----------------

// Moves the SequenceInfo, ProgramInfo, CPI and ClipMark start addresses by `delta`, and
// the ExtensionData start address too when it is not 0.
void shiftStartAddresses(TCLPI& clpi, int64_t delta);

// The application type list: stores the type. Switching to or from type 6 adds or
// removes the font block, so the start addresses move by its size (2 + 6 m) to stay
// consistent; the font list itself is kept.
void setApplicationType(TCLPI& clpi, uint8_t type);

// The "ATCd" box: switches the ATC delta block on or off; the entries stay in the model
// and the start addresses move by the block's size (2 + 14 n).
void setATCdelta(TCLPI& clpi, bool on);

// Inserts an entry (ATC delta 0, "00000", "m2ts") after entry `selected` (at 0 when
// there are none) and returns its index; the start addresses move by 14. Returns -1
// and changes nothing when the 8-bit count is full (255 entries).
int insertATCdeltaEntry(TCLPI& clpi, int selected);

// Removes entry `index`; the start addresses move by -14. False when there is none.
bool deleteATCdeltaEntry(TCLPI& clpi, int index);

// A typed cell of the ATC delta grid (column 1 ATC delta in hexadecimal, 2 following
// clip, 3 codec identifier, which does not change). Returns the text the cell shows
// afterwards. Text still containing a blank (an incomplete mask) is not taken.
std::string setATCdeltaCell(TCLPI& clpi, int index, int column, const std::string& text);

}  // namespace morvex::clip
