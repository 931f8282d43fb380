// Every real clip information file read by Morvex and by libbluray, the system's
// Blu-ray library, must give the same ClipInfo, sequences, program streams and EP maps.
#include <gtest/gtest.h>

#include <cstring>

#include "clip/clpi.h"
#include "clip/ep_map.h"
#include "clip/ts_synth.h"
#include "core/log.h"
#include "support/test_support.h"

#ifdef MORVEX_HAVE_LIBBLURAY
#include <libbluray/bluray.h>
#include <libbluray/clpi_data.h>
#include <libbluray/log_control.h>
#endif

using namespace morvex;
using namespace morvex::clip;

#ifdef MORVEX_HAVE_LIBBLURAY
namespace {

std::string lang(const char* l) { return std::string(l, strnlen(l, 3)); }

void compareWithLibbluray(const std::filesystem::path& f) {
  core::MemoryLog log;
  TCLPI c;
  ASSERT_TRUE((readCLPIFile(f, c, log)).complete());
  CLPI_CL* cl = bd_read_clpi(f.c_str());
  ASSERT_NE(cl, nullptr);
  struct Free {
    CLPI_CL* p;
    ~Free() { bd_free_clpi(p); }
  } guard{cl};

  EXPECT_EQ(c.SequenceInfo_start, cl->sequence_info_start_addr);
  EXPECT_EQ(c.ProgramInfo_start, cl->program_info_start_addr);
  EXPECT_EQ(c.CPI_start, cl->cpi_start_addr);
  EXPECT_EQ(c.ClipMark_start, cl->clip_mark_start_addr);
  EXPECT_EQ(c.ExtensionData_start, cl->ext_data_start_addr);

  const auto& ci = c.ClipInfo;
  EXPECT_EQ(ci.clip_stream_type, cl->clip.clip_stream_type);
  EXPECT_EQ(ci.application_type, cl->clip.application_type);
  EXPECT_EQ(ci.is_ATC_delta, cl->clip.is_atc_delta);
  EXPECT_EQ(ci.TS_recording_rate, cl->clip.ts_recording_rate);
  EXPECT_EQ(ci.number_of_source_packets, cl->clip.num_source_packets);
  EXPECT_EQ(ci.validity_flags, cl->clip.ts_type_info.validity);
  EXPECT_EQ(ci.format_identifier, std::string(cl->clip.ts_type_info.format_id));
  ASSERT_EQ(ci.ATC_delta_entries.size(), cl->clip.atc_delta_count);
  for (size_t i = 0; i < ci.ATC_delta_entries.size(); ++i) {
    EXPECT_EQ(ci.ATC_delta_entries[i].ATC_delta, cl->clip.atc_delta[i].delta);
    EXPECT_EQ(ci.ATC_delta_entries[i].following_clip, std::string(cl->clip.atc_delta[i].file_id));
    EXPECT_EQ(ci.ATC_delta_entries[i].clip_codec, std::string(cl->clip.atc_delta[i].file_code));
  }
  if (ci.application_type == 6) {
    ASSERT_EQ(ci.font_files.size(), cl->clip.font_info.font_count);
    for (size_t i = 0; i < ci.font_files.size(); ++i)
      EXPECT_EQ(ci.font_files[i], std::string(cl->clip.font_info.font[i].file_id));
  }

  const auto& atc = c.SequenceInfo.ATC_sequences;
  ASSERT_EQ(atc.size(), cl->sequence.num_atc_seq);
  for (size_t i = 0; i < atc.size(); ++i) {
    const auto& o = cl->sequence.atc_seq[i];
    EXPECT_EQ(atc[i].SPN_ATC_start, o.spn_atc_start);
    EXPECT_EQ(atc[i].offset_STC_id, o.offset_stc_id);
    ASSERT_EQ(atc[i].STC_sequences.size(), o.num_stc_seq);
    for (size_t k = 0; k < atc[i].STC_sequences.size(); ++k) {
      EXPECT_EQ(atc[i].STC_sequences[k].PCR_PID, o.stc_seq[k].pcr_pid);
      EXPECT_EQ(atc[i].STC_sequences[k].SPN_STC_start, o.stc_seq[k].spn_stc_start);
      EXPECT_EQ(atc[i].STC_sequences[k].presentation_start_time, o.stc_seq[k].presentation_start_time);
      EXPECT_EQ(atc[i].STC_sequences[k].presentation_end_time, o.stc_seq[k].presentation_end_time);
    }
  }

  const auto& ps = c.ProgramInfo.program_sequences;
  ASSERT_EQ(ps.size(), cl->program.num_prog);
  for (size_t i = 0; i < ps.size(); ++i) {
    const auto& o = cl->program.progs[i];
    EXPECT_EQ(ps[i].SPN_program_sequence_start, o.spn_program_sequence_start);
    EXPECT_EQ(ps[i].program_map_PID, o.program_map_pid);
    ASSERT_EQ(ps[i].streams.size(), o.num_streams);
    for (size_t k = 0; k < ps[i].streams.size(); ++k) {
      const TClipStream& s = ps[i].streams[k];
      const CLPI_PROG_STREAM& os = o.streams[k];
      SCOPED_TRACE("stream " + std::to_string(k));
      EXPECT_EQ(s.PID, os.pid);
      EXPECT_EQ(s.coding_type, os.coding_type);
      switch (s.coding_type) {
        case 0x02: case 0x1B: case 0xEA:
          EXPECT_EQ(s.video_format, os.format);
          EXPECT_EQ(s.frame_rate, os.rate);
          EXPECT_EQ(s.aspect_ratio, os.aspect);
          break;
        case 0x80: case 0x81: case 0x82: case 0x83: case 0x84: case 0x85: case 0x86: case 0xA1: case 0xA2:
          EXPECT_EQ(s.audio_presentation_type, os.format);
          EXPECT_EQ(s.sampling_frequency, os.rate);
          EXPECT_EQ(s.audio_language, lang(os.lang));
          break;
        case 0x90: EXPECT_EQ(s.PG_language, lang(os.lang)); break;
        case 0x91: EXPECT_EQ(s.IG_language, lang(os.lang)); break;
        case 0x92:
          EXPECT_EQ(s.character_code, os.char_code);
          EXPECT_EQ(s.textST_language, lang(os.lang));
          break;
        default: break;
      }
    }
  }

  if (c.CPI.length == 0) return;
  EXPECT_EQ(c.CPI.CPI_type & 0x0F, cl->cpi.type);
  ASSERT_EQ(c.CPI.EP_map.size(), cl->cpi.num_stream_pid);
  ASSERT_EQ(c.CPI.maps.size(), c.CPI.EP_map.size());
  for (size_t i = 0; i < c.CPI.EP_map.size(); ++i) {
    const auto& e = c.CPI.EP_map[i];
    const auto& o = cl->cpi.entry[i];
    EXPECT_EQ(e.stream_PID, o.pid);
    EXPECT_EQ(e.EP_stream_type, o.ep_stream_type);
    ASSERT_EQ(int(e.num_coarse), o.num_ep_coarse);
    ASSERT_EQ(int(e.num_fine), o.num_ep_fine);
    // libbluray turns the address, counted from the EP map (after the CPI length and
    // type word), into a file offset.
    EXPECT_EQ(uint64_t(e.map_start_address) + c.CPI_start + 6, o.ep_map_stream_start_addr);
    const auto& m = c.CPI.maps[i];
    ASSERT_EQ(m.coarse.size(), e.num_coarse);
    ASSERT_EQ(m.fine.size(), e.num_fine);
    size_t badCoarse = 0, badFine = 0;
    for (size_t k = 0; k < m.coarse.size(); ++k)
      badCoarse += int(m.coarse[k].ref_to_EP_fine_id) != o.coarse[k].ref_ep_fine_id ||
                   int(m.coarse[k].PTS_EP_coarse) != o.coarse[k].pts_ep || m.coarse[k].SPN_EP_coarse != o.coarse[k].spn_ep;
    for (size_t k = 0; k < m.fine.size(); ++k)
      badFine += m.fine[k].is_angle_change_point != o.fine[k].is_angle_change_point ||
                 m.fine[k].I_end_position_offset != o.fine[k].i_end_position_offset ||
                 int(m.fine[k].PTS_EP_fine) != o.fine[k].pts_ep || int(m.fine[k].SPN_EP_fine) != o.fine[k].spn_ep;
    EXPECT_EQ(badCoarse, 0u) << "coarse entries differing from libbluray";
    EXPECT_EQ(badFine, 0u) << "fine entries differing from libbluray";
  }
}

}  // namespace
#endif

TEST(ClipInfoOracle, AgreesWithLibblurayOnEveryFixture) {
#ifndef MORVEX_HAVE_LIBBLURAY
  GTEST_SKIP() << "libbluray (pkg-config libbluray) not found at configure time; skipping the oracle comparison";
#else
  MORVEX_REQUIRE_FIXTURES();
  bd_set_debug_mask(0);
  auto files = test::fixtureFiles(".clpi");
  ASSERT_FALSE(files.empty());
  for (const auto& f : files) {
    SCOPED_TRACE(f.string());
    compareWithLibbluray(f);
  }
#endif
}

// The EP map made for a generated stream: every entry point is a video PES start with
// that PTS, and libbluray reads the written clip information the same way Morvex does.
TEST(ClipInfoOracle, EpMapOfAGeneratedStream) {
  clip::SynthOptions o;
  o.targetBytes = 12 << 20;
  o.videoBitrate = 4000000;
  std::vector<uint8_t> ts;
  clip::SynthStats st = clip::generateStream(o, [&](const uint8_t* p, size_t n) {
    ts.insert(ts.end(), p, p + n);
    return true;
  });
  ASSERT_GT(st.keyFrames.size(), 10u);
  std::vector<clip::EntryPoint> points;
  for (const auto& k : st.keyFrames) {
    const uint8_t* p = ts.data() + size_t(k.spn) * 192;
    ASSERT_EQ(((p[5] & 0x1F) << 8) | p[6], 0x1011);
    ASSERT_TRUE(p[5] & 0x40);
    const uint8_t* pl = p + 8 + ((p[7] & 0x20) ? 1 + p[8] : 0);
    ASSERT_EQ(pl[0] << 16 | pl[1] << 8 | pl[2], 1);
    uint32_t pts = uint32_t((uint64_t(pl[9] >> 1) & 7) << 30 | uint64_t(pl[10]) << 22 | uint64_t(pl[11] >> 1) << 15 |
                            uint64_t(pl[12]) << 7 | (pl[13] >> 1));
    EXPECT_EQ(pts, k.pts);
    clip::EntryPoint e;
    e.spn = k.spn;
    e.pts = k.pts;
    points.push_back(e);
  }
  TCLPI c;
  c.type_indicator = "HDMV";
  c.version = "0200";
  c.ClipInfo.number_of_source_packets = uint32_t(st.packets);
  c.ClipInfo.TS_type_info_length = 30;  // libbluray reads the type info only when it has a length
  c.ClipInfo.format_identifier = "HDMV";
  c.SequenceInfo.length = 2;
  c.ProgramInfo.length = 2;
  clip::setSingleEPMap(c, 0x1011, points);
  const auto& m = c.CPI.maps[0];
  ASSERT_EQ(m.fine.size(), points.size());
  for (size_t i = 0; i < m.fine.size(); ++i) EXPECT_EQ(m.fine[i].SPN_EP_fine, points[i].spn & 0x1FFFF);
  test::TempDir d;
  test::writeFile(d / "00001.clpi", writeCLPI(c));
#ifdef MORVEX_HAVE_LIBBLURAY
  compareWithLibbluray(d / "00001.clpi");
#else
  GTEST_SKIP() << "libbluray not found at configure time; checked the entry points only";
#endif
}
