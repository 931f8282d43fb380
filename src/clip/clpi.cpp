#include "clip/clpi.h"
#include "core/text.h"

#include <algorithm>
#include <fstream>

#include "clip/clpi_text.h"

namespace morvex::clip {

using core::Reader;

namespace {

bool isVideo(uint8_t t) { return t == 0x02 || t == 0x1B || t == 0xEA; }
bool isAudio(uint8_t t) { return (t >= 0x80 && t <= 0x86) || t == 0xA1 || t == 0xA2; }

void readRecordingCode(Reader& r, TClipStream& s) {
  s.isrc_country = r.readstring(2);
  s.isrc_owner = r.readstring(3);
  s.isrc_year = r.readstring(2);
  s.isrc_number = r.readstring(5);
}

// One stream of a program: PID, the coding-information length (kept, not used to
// skip), the coding type and the 20 bytes of details its type defines.
void readStream(Reader& r, TClipStream& s) {
  s.PID = r.readword();
  s.coding_info_length = r.readbyte();
  s.coding_type = r.readbyte();
  const uint8_t t = s.coding_type;
  if (isVideo(t)) {
    uint8_t b = r.readbyte();
    s.video_format = b >> 4;
    s.frame_rate = b & 0x0F;
    b = r.readbyte();
    s.aspect_ratio = b >> 4;
    s.cp_flag = (b >> 1) & 1;
    r.skip(2);
    readRecordingCode(r, s);
    r.skip(4);
  } else if (isAudio(t)) {
    uint8_t b = r.readbyte();
    s.audio_presentation_type = b >> 4;
    s.sampling_frequency = b & 0x0F;
    s.audio_language = r.readstring(3);
    readRecordingCode(r, s);
    r.skip(4);
  } else if (t == 0x90 || t == 0x91) {
    (t == 0x90 ? s.PG_language : s.IG_language) = r.readstring(3);
    r.skip(1);
    readRecordingCode(r, s);
    r.skip(4);
  } else if (t == 0x92) {
    s.character_code = r.readbyte();
    s.textST_language = r.readstring(3);
    readRecordingCode(r, s);
    r.skip(4);
  }
}

void readClipInfo(Reader& r, TClipInfo& ci) {
  ci = TClipInfo{};
  ci.length = r.readlong();
  r.skip(2);
  ci.clip_stream_type = r.readbyte();
  ci.application_type = r.readbyte();
  ci.is_ATC_delta = r.readlong() & 1;
  ci.TS_recording_rate = r.readlong();
  ci.number_of_source_packets = r.readlong();
  r.skip(128);
  ci.TS_type_info_length = r.readword();
  ci.validity_flags = r.readbyte();
  ci.format_identifier = r.readstring(4);
  r.skip(9 + 16);
  if (ci.is_ATC_delta == 1) {
    r.skip(1);
    unsigned n = r.readbyte();
    for (unsigned i = 0; i < n && r.has(14); ++i) {
      TATCDeltaEntry e;
      e.ATC_delta = r.readlong();
      e.following_clip = r.readstring(5);
      e.clip_codec = r.readstring(4);
      r.skip(1);
      ci.ATC_delta_entries.push_back(e);
    }
    if (ci.ATC_delta_entries.size() < n) r.skip(14);
  }
  if (ci.application_type == 6) {
    r.skip(1);
    unsigned m = r.readbyte();
    for (unsigned i = 0; i < m && r.has(6); ++i) {
      ci.font_files.push_back(r.readstring(5));
      r.skip(1);
    }
    if (ci.font_files.size() < m) r.skip(6);
  }
}

void readSequenceInfo(Reader& r, TSequenceInfo& si) {
  si = TSequenceInfo{};
  si.length = r.readlong();
  r.skip(1);
  unsigned n = r.readbyte();
  for (unsigned i = 0; i < n && r.has(6); ++i) {
    TATC_sequences a;
    a.SPN_ATC_start = r.readlong();
    unsigned m = r.readbyte();
    a.offset_STC_id = r.readbyte();
    for (unsigned k = 0; k < m && r.has(14); ++k) {
      TSTC_sequence s;
      s.PCR_PID = r.readword();
      s.SPN_STC_start = r.readlong();
      s.presentation_start_time = r.readlong();
      s.presentation_end_time = r.readlong();
      a.STC_sequences.push_back(s);
    }
    if (a.STC_sequences.size() < m) r.skip(14);
    si.ATC_sequences.push_back(std::move(a));
    if (r.overrun()) return;
  }
  if (si.ATC_sequences.size() < n) r.skip(6);
}

void readProgramInfo(Reader& r, TProgramInfo& pi) {
  pi = TProgramInfo{};
  pi.length = r.readlong();
  r.skip(1);
  unsigned n = r.readbyte();
  for (unsigned i = 0; i < n && r.has(8); ++i) {
    TProgram_sequences p;
    p.SPN_program_sequence_start = r.readlong();
    p.program_map_PID = r.readword();
    unsigned m = r.readbyte();
    r.skip(1);
    for (unsigned k = 0; k < m && r.has(4); ++k) {
      TClipStream s;
      readStream(r, s);
      p.streams.push_back(std::move(s));
    }
    if (p.streams.size() < m) r.skip(4);
    pi.program_sequences.push_back(std::move(p));
    if (r.overrun()) return;
  }
  if (pi.program_sequences.size() < n) r.skip(8);
}

void readCPI(Reader& r, TCPI& cpi) {
  cpi = TCPI{};
  cpi.length = r.readlong();
  if (cpi.length == 0) return;
  cpi.CPI_type = r.readword();
  r.skip(1);
  unsigned n = r.readbyte();
  for (unsigned i = 0; i < n && r.has(12); ++i) {
    TEP_map_entry e;
    e.stream_PID = r.readword();
    uint16_t a = r.readword(), b = r.readword(), c = r.readword();
    e.EP_stream_type = (a >> 2) & 0x0F;
    e.num_coarse = uint32_t(a & 3) * 16384 + (b >> 2);
    e.num_fine = uint32_t(b & 3) * 65536 + c;
    e.map_start_address = r.readlong();
    cpi.EP_map.push_back(e);
  }
  if (cpi.EP_map.size() < n) {
    r.skip(12);
    return;
  }
  // Each PID's map follows where the previous one ended; the start addresses are kept
  // but not used to seek.
  for (const auto& e : cpi.EP_map) {
    TEP_map_fosPID m;
    m.fine_table_start_address = r.readlong();
    for (uint32_t k = 0; k < e.num_coarse && r.has(8); ++k) {
      uint32_t x = r.readlong();
      TEP_coarse c;
      c.ref_to_EP_fine_id = x >> 14;
      c.PTS_EP_coarse = x & 0x3FFF;
      c.SPN_EP_coarse = r.readlong();
      m.coarse.push_back(c);
    }
    if (m.coarse.size() < e.num_coarse) {
      r.skip(8);
      cpi.maps.push_back(std::move(m));
      return;
    }
    int64_t pad = int64_t(m.fine_table_start_address) - 4 - 8 * int64_t(e.num_coarse);
    if (pad > 0) r.skip(size_t(pad));
    for (uint32_t k = 0; k < e.num_fine && r.has(4); ++k) {
      uint32_t y = r.readlong();
      TEP_fine f;
      f.is_angle_change_point = y >> 31;
      f.I_end_position_offset = (y >> 28) & 7;
      f.PTS_EP_fine = (y >> 17) & 0x7FF;
      f.SPN_EP_fine = y & 0x1FFFF;
      m.fine.push_back(f);
    }
    if (m.fine.size() < e.num_fine) r.skip(4);
    cpi.maps.push_back(std::move(m));
    if (r.overrun()) return;
  }
}

}  // namespace

core::ReadResult readCLPI(const core::Bytes& image, const std::string& fileName, TCLPI& clpi, core::Log& log) {
  core::ReadResult res;
  log.dlog0("Reading [bl]" + fileName + "[/bl]");
  Reader r(image);
  std::string type = r.readstring(4);
  std::string version = r.readstring(4);
  clpi.type_indicator = type;
  clpi.version = version;
  if (type != "HDMV" || (version != "0100" && version != "0200")) {
    log.erlog("Invalid format: " + fileName);
    if (type == "HDMV" && image.size() >= 8)
      res.refuse(core::ReadIssue::UnsupportedVersion, 4, core::unsupportedVersionMessage(fileName, version));
    else
      res.refuse(core::ReadIssue::WrongKind, 0, fileName + ": not a clip information file");
    return res;
  }
  TCLPI m;
  m.type_indicator = type;
  m.version = version;
  m.SequenceInfo_start = r.readlong();
  m.ProgramInfo_start = r.readlong();
  m.CPI_start = r.readlong();
  m.ClipMark_start = r.readlong();
  m.ExtensionData_start = r.readlong();
  r.skip(12);
  uint64_t sectionStart = 0;
  const char* section = "ClipInfo";
  // Only called for a read that ran past the end of the image.
  auto finish = [&]() {
    clpi = std::move(m);
    log.erlog("Unexpected end of file: " + fileName);
    res.addCutShort(fileName, section, sectionStart, image.size());
    return res;
  };
  readClipInfo(r, m.ClipInfo);
  if (r.overrun()) return finish();
  sectionStart = m.SequenceInfo_start;
  section = "SequenceInfo";
  r.seek(m.SequenceInfo_start);
  readSequenceInfo(r, m.SequenceInfo);
  if (r.overrun()) return finish();
  sectionStart = m.ProgramInfo_start;
  section = "ProgramInfo";
  r.seek(m.ProgramInfo_start);
  readProgramInfo(r, m.ProgramInfo);
  if (r.overrun()) return finish();
  sectionStart = m.CPI_start;
  section = "CPI";
  r.seek(m.CPI_start);
  readCPI(r, m.CPI);
  if (r.overrun()) return finish();
  sectionStart = m.ClipMark_start;
  section = "ClipMark";
  r.seek(m.ClipMark_start);
  m.ClipMark_length = r.readlong();
  if (r.overrun()) return finish();
  // The ClipMark body, bounded by what the file holds (a bad length cannot make us
  // keep more than the image).
  m.ClipMark_data = r.readbytes(std::min<size_t>(m.ClipMark_length, r.remaining()));
  if (m.ExtensionData_start != 0) {
    sectionStart = m.ExtensionData_start;
    section = "ExtensionData";
    r.seek(m.ExtensionData_start);
    core::ReadExtensionData(r, m.ExtensionData);
    if (r.overrun()) return finish();
  }
  clpi = std::move(m);
  size_t firstStreams = clpi.ProgramInfo.program_sequences.empty() ? 0 : clpi.ProgramInfo.program_sequences[0].streams.size();
  log.log2("[b]" + std::to_string(firstStreams) + "[/b] Program stream(s) found.");
  return res;
}

core::ReadResult readCLPIFile(const std::filesystem::path& file, TCLPI& clpi, core::Log& log) {
  core::Bytes image;
  std::string err;
  if (!core::readWholeFile(file, image, err)) {
    log.dlog0("Reading [bl]" + file.filename().string() + "[/bl]");
    log.erlog(err);
    return core::ReadResult::refusal(core::ReadIssue::CannotOpen, 0, file.filename().string() + ": " + err);
  }
  return readCLPI(image, file.filename().string(), clpi, log);
}

uint32_t clipInfoLength(const TCLPI& clpi) {
  uint32_t L = 176;
  if (clpi.ClipInfo.is_ATC_delta == 1) L += 2 + 14 * uint32_t(clpi.ClipInfo.ATC_delta_entries.size());
  if (clpi.ClipInfo.application_type == 6) L += 2 + 6 * uint32_t(clpi.ClipInfo.font_files.size());
  return L;
}

namespace {

void writeRecordingCode(core::ByteWriter& w, const TClipStream& s) {
  w.addstring(s.isrc_country, 2);
  w.addstring(s.isrc_owner, 3);
  w.addstring(s.isrc_year, 2);
  w.addstring(s.isrc_number, 5);
}

void writeStream(core::ByteWriter& w, const TClipStream& s) {
  w.addword(s.PID);
  w.addbyte(s.coding_info_length);
  w.addbyte(s.coding_type);
  const uint8_t t = s.coding_type;
  if (isVideo(t)) {
    w.addbyte((s.video_format & 0x0F) * 16 + (s.frame_rate & 0x0F));
    w.addbyte((s.aspect_ratio & 0x0F) * 16 + (s.cp_flag & 1) * 2);
    w.addzeros(2);
    writeRecordingCode(w, s);
    w.addzeros(4);
  } else if (isAudio(t)) {
    w.addbyte((s.audio_presentation_type & 0x0F) * 16 + (s.sampling_frequency & 0x0F));
    w.addstring(s.audio_language, 3);
    writeRecordingCode(w, s);
    w.addzeros(4);
  } else if (t == 0x90 || t == 0x91) {
    w.addstring(t == 0x90 ? s.PG_language : s.IG_language, 3);
    w.addzeros(1);
    writeRecordingCode(w, s);
    w.addzeros(4);
  } else if (t == 0x92) {
    w.addbyte(s.character_code);
    w.addstring(s.textST_language, 3);
    writeRecordingCode(w, s);
    w.addzeros(4);
  }
}

}  // namespace

core::Bytes writeCLPI(TCLPI& c) {
  if (c.ClipInfo.is_ATC_delta == 1 && c.ClipInfo.ATC_delta_entries.empty()) setATCdelta(c, false);
  core::ByteWriter w;
  w.addstring(c.type_indicator, 4);
  w.addstring(c.version, 4);
  w.addzeros(5 * 4 + 12);  // start addresses, put once the sections are placed

  const TClipInfo& ci = c.ClipInfo;
  c.ClipInfo.length = clipInfoLength(c);
  w.addlong(ci.length);
  w.addzeros(2);
  w.addbyte(ci.clip_stream_type);
  w.addbyte(ci.application_type);
  w.addlong(ci.is_ATC_delta);
  w.addlong(ci.TS_recording_rate);
  w.addlong(ci.number_of_source_packets);
  w.addzeros(128);
  w.addword(ci.TS_type_info_length);
  w.addbyte(ci.validity_flags);
  w.addstring(ci.format_identifier, 4);
  w.addzeros(9 + 16);
  if (ci.is_ATC_delta == 1) {
    w.addzeros(1);
    w.addbyte(uint32_t(ci.ATC_delta_entries.size()));
    for (const auto& e : ci.ATC_delta_entries) {
      w.addlong(e.ATC_delta);
      w.addstring(e.following_clip, 5);
      w.addstring(e.clip_codec, 4);
      w.addzeros(1);
    }
  }
  if (ci.application_type == 6) {
    w.addzeros(1);
    w.addbyte(uint32_t(ci.font_files.size()));
    for (const auto& f : ci.font_files) {
      w.addstring(f, 5);
      w.addzeros(1);
    }
  }

  c.SequenceInfo_start = uint32_t(w.outlen());
  w.addlong(c.SequenceInfo.length);
  w.addzeros(1);
  w.addbyte(uint32_t(c.SequenceInfo.ATC_sequences.size()));
  for (const auto& a : c.SequenceInfo.ATC_sequences) {
    w.addlong(a.SPN_ATC_start);
    w.addbyte(uint32_t(a.STC_sequences.size()));
    w.addbyte(a.offset_STC_id);
    for (const auto& s : a.STC_sequences) {
      w.addword(s.PCR_PID);
      w.addlong(s.SPN_STC_start);
      w.addlong(s.presentation_start_time);
      w.addlong(s.presentation_end_time);
    }
  }

  c.ProgramInfo_start = uint32_t(w.outlen());
  w.addlong(c.ProgramInfo.length);
  w.addzeros(1);
  w.addbyte(uint32_t(c.ProgramInfo.program_sequences.size()));
  for (const auto& p : c.ProgramInfo.program_sequences) {
    w.addlong(p.SPN_program_sequence_start);
    w.addword(p.program_map_PID);
    w.addbyte(uint32_t(p.streams.size()));
    w.addzeros(1);
    for (const auto& s : p.streams) writeStream(w, s);
  }

  c.CPI_start = uint32_t(w.outlen());
  w.addlong(c.CPI.length);
  if (c.CPI.length != 0) {
    w.addword(c.CPI.CPI_type);
    w.addzeros(1);
    w.addbyte(uint32_t(c.CPI.EP_map.size()));
    for (const auto& e : c.CPI.EP_map) {
      w.addword(e.stream_PID);
      w.addword((e.EP_stream_type & 0x0F) * 4 + ((e.num_coarse >> 14) & 3));
      w.addword(((e.num_coarse & 0x3FFF) * 4 + ((e.num_fine >> 16) & 3)) & 0xFFFF);
      w.addword(e.num_fine & 0xFFFF);
      w.addlong(e.map_start_address);
    }
    for (size_t i = 0; i < c.CPI.maps.size(); ++i) {
      const auto& m = c.CPI.maps[i];
      w.addlong(m.fine_table_start_address);
      for (const auto& k : m.coarse) {
        w.addlong((k.ref_to_EP_fine_id << 14) + (k.PTS_EP_coarse & 0x3FFF));
        w.addlong(k.SPN_EP_coarse);
      }
      int64_t pad = int64_t(m.fine_table_start_address) - 4 - 8 * int64_t(m.coarse.size());
      if (pad > 0) w.addzeros(size_t(pad));
      for (const auto& f : m.fine)
        w.addlong((uint32_t(f.is_angle_change_point & 1) << 31) + (uint32_t(f.I_end_position_offset & 7) << 28) +
                  (uint32_t(f.PTS_EP_fine & 0x7FF) << 17) + (f.SPN_EP_fine & 0x1FFFF));
    }
  }

  c.ClipMark_start = uint32_t(w.outlen());
  w.addlong(c.ClipMark_length);
  w.addbytes(c.ClipMark_data);

  if (c.ExtensionData_start != 0) {
    c.ExtensionData_start = uint32_t(w.outlen());
    core::WriteExtensionData(w, c.ExtensionData);
  }

  w.putlong(c.SequenceInfo_start, 8);
  w.putlong(c.ProgramInfo_start, 12);
  w.putlong(c.CPI_start, 16);
  w.putlong(c.ClipMark_start, 20);
  w.putlong(c.ExtensionData_start, 24);
  return w.take();
}

bool saveCLPI(TCLPI& clpi, const std::filesystem::path& folder, const std::string& fileName,
              const core::SaveSettings& settings, core::Log& log) {
  // The writer settles the model (addresses, an empty ATC delta block); that happens on
  // a copy which replaces the model only once the file is in place, so a save stopped
  // by the backup step or a write error leaves the model exactly as it was.
  TCLPI written = clpi;
  core::Bytes bytes = writeCLPI(written);
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.startMessage = "Saving [bl]" + fileName + "[/bl]";
  if (!core::saveFile(log, settings, req, bytes)) return false;
  clpi = std::move(written);
  return true;
}

std::optional<uint64_t> packetCountMismatch(const TCLPI& clpi, uint64_t streamSize) {
  if (streamSize == 0) return std::nullopt;
  uint64_t n = packetsInStream(streamSize);
  if (n == clpi.ClipInfo.number_of_source_packets) return std::nullopt;
  return n;
}

std::string packetCountQuestion(uint64_t packets) {
  return "The m2ts file contains " + thousands(packets) + " packets.\nDo you want to correct the packet value of ClipInfo?";
}

bool correctPacketCount(const std::filesystem::path& clpiFile, uint64_t packets, std::string& error) {
  if (packets > 0xFFFFFFFFull) {
    error = "The packet count " + std::to_string(packets) + " does not fit the 32-bit field.";
    return false;
  }
  std::error_code ec;
  auto size = std::filesystem::file_size(clpiFile, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  if (size < 60) {
    error = "The file is too short to hold the packet count.";
    return false;
  }
  // Opened for update: in|out never truncates, so only the four bytes change.
  std::fstream f(clpiFile, std::ios::in | std::ios::out | std::ios::binary);
  if (!f) {
    error = "Cannot open " + core::displayPath(clpiFile) + " for writing.";
    return false;
  }
  const char b[4] = {char(packets >> 24), char(packets >> 16), char(packets >> 8), char(packets)};
  f.seekp(56);
  f.write(b, 4);
  f.flush();
  if (!f) {
    error = "Cannot write " + core::displayPath(clpiFile) + ".";
    return false;
  }
  return true;
}

void shiftStartAddresses(TCLPI& c, int64_t d) {
  auto mv = [d](uint32_t& a) { a = uint32_t(int64_t(a) + d); };
  mv(c.SequenceInfo_start);
  mv(c.ProgramInfo_start);
  mv(c.CPI_start);
  mv(c.ClipMark_start);
  if (c.ExtensionData_start != 0) mv(c.ExtensionData_start);
}

void setApplicationType(TCLPI& c, uint8_t type) {
  bool was6 = c.ClipInfo.application_type == 6, is6 = type == 6;
  int64_t block = 2 + 6 * int64_t(c.ClipInfo.font_files.size());
  c.ClipInfo.application_type = type;
  if (was6 && !is6) shiftStartAddresses(c, -block);
  if (!was6 && is6) shiftStartAddresses(c, block);
}

void setATCdelta(TCLPI& c, bool on) {
  bool was = c.ClipInfo.is_ATC_delta == 1;
  if (was == on) return;
  int64_t block = 2 + 14 * int64_t(c.ClipInfo.ATC_delta_entries.size());
  c.ClipInfo.is_ATC_delta = on ? 1 : 0;
  shiftStartAddresses(c, on ? block : -block);
}

int insertATCdeltaEntry(TCLPI& c, int selected) {
  auto& v = c.ClipInfo.ATC_delta_entries;
  if (v.size() >= 255) return -1;
  size_t at = v.empty() ? 0 : size_t(std::clamp(selected, -1, int(v.size()) - 1) + 1);
  v.insert(v.begin() + at, TATCDeltaEntry{});
  shiftStartAddresses(c, 14);
  return int(at);
}

bool deleteATCdeltaEntry(TCLPI& c, int index) {
  auto& v = c.ClipInfo.ATC_delta_entries;
  if (index < 0 || size_t(index) >= v.size()) return false;
  v.erase(v.begin() + index);
  shiftStartAddresses(c, -14);
  return true;
}

std::string setATCdeltaCell(TCLPI& c, int index, int column, const std::string& text) {
  auto& v = c.ClipInfo.ATC_delta_entries;
  if (index < 0 || size_t(index) >= v.size()) return "";
  auto& e = v[index];
  bool incomplete = text.find(' ') != std::string::npos;
  switch (column) {
    case 1:
      if (!incomplete) {
        uint32_t x = 0;
        for (char ch : text) {
          int d = -1;
          if (ch >= '0' && ch <= '9') d = ch - '0';
          else if (ch >= 'A' && ch <= 'F') d = ch - 'A' + 10;
          else if (ch >= 'a' && ch <= 'f') d = ch - 'a' + 10;
          if (d >= 0) x = x * 16 + uint32_t(d);
        }
        e.ATC_delta = x;
      }
      return core::hexText(e.ATC_delta, 8);
    case 2:
      if (!incomplete) e.following_clip = text.substr(0, 5);
      return e.following_clip;
    case 3:
      return e.clip_codec;
    default:
      return "";
  }
}

}  // namespace morvex::clip
