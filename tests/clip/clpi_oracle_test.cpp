// Every real clip information file read by Morvex and by libbluray, the system's
// Blu-ray library, must give the same ClipInfo, sequences, program streams and EP maps.
#include <gtest/gtest.h>

#include <cstring>

#include "clip/clpi.h"
#include "clip/ep_map.h"
#include "support/ts_synth.h"
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
  ClipInfo c;
  ASSERT_TRUE((readClipInfoFile(f, c, log)).complete());
  CLPI_CL* cl = bd_read_clpi(f.c_str());
  ASSERT_NE(cl, nullptr);
  struct Free {
    CLPI_CL* p;
    ~Free() { bd_free_clpi(p); }
  } guard{cl};

  EXPECT_EQ(c.sequenceInfoStart, cl->sequence_info_start_addr);
  EXPECT_EQ(c.programInfoStart, cl->program_info_start_addr);
  EXPECT_EQ(c.cpiStart, cl->cpi_start_addr);
  EXPECT_EQ(c.clipMarkStart, cl->clip_mark_start_addr);
  EXPECT_EQ(c.extensionDataStart, cl->ext_data_start_addr);

  const auto& ci = c.clipInfo;
  EXPECT_EQ(ci.clipStreamType, cl->clip.clip_stream_type);
  EXPECT_EQ(ci.applicationType, cl->clip.application_type);
  EXPECT_EQ(ci.isAtcDelta, cl->clip.is_atc_delta);
  EXPECT_EQ(ci.tsRecordingRate, cl->clip.ts_recording_rate);
  EXPECT_EQ(ci.numberOfSourcePackets, cl->clip.num_source_packets);
  EXPECT_EQ(ci.validityFlags, cl->clip.ts_type_info.validity);
  EXPECT_EQ(ci.formatIdentifier, std::string(cl->clip.ts_type_info.format_id));
  ASSERT_EQ(ci.atcDeltaEntries.size(), cl->clip.atc_delta_count);
  for (size_t i = 0; i < ci.atcDeltaEntries.size(); ++i) {
    EXPECT_EQ(ci.atcDeltaEntries[i].atcDelta, cl->clip.atc_delta[i].delta);
    EXPECT_EQ(ci.atcDeltaEntries[i].followingClip, std::string(cl->clip.atc_delta[i].file_id));
    EXPECT_EQ(ci.atcDeltaEntries[i].clipCodec, std::string(cl->clip.atc_delta[i].file_code));
  }
  if (ci.applicationType == 6) {
    ASSERT_EQ(ci.fontFiles.size(), cl->clip.font_info.font_count);
    for (size_t i = 0; i < ci.fontFiles.size(); ++i)
      EXPECT_EQ(ci.fontFiles[i], std::string(cl->clip.font_info.font[i].file_id));
  }

  const auto& atc = c.sequenceInfo.atcSequences;
  ASSERT_EQ(atc.size(), cl->sequence.num_atc_seq);
  for (size_t i = 0; i < atc.size(); ++i) {
    const auto& o = cl->sequence.atc_seq[i];
    EXPECT_EQ(atc[i].spnAtcStart, o.spn_atc_start);
    EXPECT_EQ(atc[i].offsetStcId, o.offset_stc_id);
    ASSERT_EQ(atc[i].stcSequences.size(), o.num_stc_seq);
    for (size_t k = 0; k < atc[i].stcSequences.size(); ++k) {
      EXPECT_EQ(atc[i].stcSequences[k].pcrPid, o.stc_seq[k].pcr_pid);
      EXPECT_EQ(atc[i].stcSequences[k].spnStcStart, o.stc_seq[k].spn_stc_start);
      EXPECT_EQ(atc[i].stcSequences[k].presentationStartTime, o.stc_seq[k].presentation_start_time);
      EXPECT_EQ(atc[i].stcSequences[k].presentationEndTime, o.stc_seq[k].presentation_end_time);
    }
  }

  const auto& ps = c.programInfo.programSequences;
  ASSERT_EQ(ps.size(), cl->program.num_prog);
  for (size_t i = 0; i < ps.size(); ++i) {
    const auto& o = cl->program.progs[i];
    EXPECT_EQ(ps[i].spnProgramSequenceStart, o.spn_program_sequence_start);
    EXPECT_EQ(ps[i].programMapPid, o.program_map_pid);
    ASSERT_EQ(ps[i].streams.size(), o.num_streams);
    for (size_t k = 0; k < ps[i].streams.size(); ++k) {
      const ClipStream& s = ps[i].streams[k];
      const CLPI_PROG_STREAM& os = o.streams[k];
      SCOPED_TRACE("stream " + std::to_string(k));
      EXPECT_EQ(s.pid, os.pid);
      EXPECT_EQ(s.codingType, os.coding_type);
      switch (s.codingType) {
        case 0x02: case 0x1B: case 0xEA:
          EXPECT_EQ(s.videoFormat, os.format);
          EXPECT_EQ(s.frameRate, os.rate);
          EXPECT_EQ(s.aspectRatio, os.aspect);
          break;
        case 0x80: case 0x81: case 0x82: case 0x83: case 0x84: case 0x85: case 0x86: case 0xA1: case 0xA2:
          EXPECT_EQ(s.audioPresentationType, os.format);
          EXPECT_EQ(s.samplingFrequency, os.rate);
          EXPECT_EQ(s.audioLanguage, lang(os.lang));
          break;
        case 0x90: EXPECT_EQ(s.pgLanguage, lang(os.lang)); break;
        case 0x91: EXPECT_EQ(s.igLanguage, lang(os.lang)); break;
        case 0x92:
          EXPECT_EQ(s.characterCode, os.char_code);
          EXPECT_EQ(s.textStLanguage, lang(os.lang));
          break;
        default: break;
      }
    }
  }

  if (c.cpi.length == 0) return;
  EXPECT_EQ(c.cpi.cpiType & 0x0F, cl->cpi.type);
  ASSERT_EQ(c.cpi.epMapEntries.size(), cl->cpi.num_stream_pid);
  ASSERT_EQ(c.cpi.maps.size(), c.cpi.epMapEntries.size());
  for (size_t i = 0; i < c.cpi.epMapEntries.size(); ++i) {
    const auto& e = c.cpi.epMapEntries[i];
    const auto& o = cl->cpi.entry[i];
    EXPECT_EQ(e.streamPid, o.pid);
    EXPECT_EQ(e.epStreamType, o.ep_stream_type);
    ASSERT_EQ(int(e.numCoarse), o.num_ep_coarse);
    ASSERT_EQ(int(e.numFine), o.num_ep_fine);
    // libbluray turns the address, counted from the EP map (after the CPI length and
    // type word), into a file offset.
    EXPECT_EQ(uint64_t(e.mapStartAddress) + c.cpiStart + 6, o.ep_map_stream_start_addr);
    const auto& m = c.cpi.maps[i];
    ASSERT_EQ(m.coarse.size(), e.numCoarse);
    ASSERT_EQ(m.fine.size(), e.numFine);
    size_t badCoarse = 0, badFine = 0;
    for (size_t k = 0; k < m.coarse.size(); ++k)
      badCoarse += int(m.coarse[k].refToEpFineId) != o.coarse[k].ref_ep_fine_id ||
                   int(m.coarse[k].ptsEpCoarse) != o.coarse[k].pts_ep || m.coarse[k].spnEpCoarse != o.coarse[k].spn_ep;
    for (size_t k = 0; k < m.fine.size(); ++k)
      badFine += m.fine[k].isAngleChangePoint != o.fine[k].is_angle_change_point ||
                 m.fine[k].iEndPositionOffset != o.fine[k].i_end_position_offset ||
                 int(m.fine[k].ptsEpFine) != o.fine[k].pts_ep || int(m.fine[k].spnEpFine) != o.fine[k].spn_ep;
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
  test::SynthOptions o;
  o.targetBytes = 12 << 20;
  o.videoBitrate = 4000000;
  std::vector<uint8_t> ts;
  test::SynthStats st = test::generateStream(o, [&](const uint8_t* p, size_t n) {
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
  ClipInfo c;
  c.typeIndicator = "HDMV";
  c.version = "0200";
  c.clipInfo.numberOfSourcePackets = uint32_t(st.packets);
  c.clipInfo.tsTypeInfoLength = 30;  // libbluray reads the type info only when it has a length
  c.clipInfo.formatIdentifier = "HDMV";
  c.sequenceInfo.length = 2;
  c.programInfo.length = 2;
  clip::setSingleEPMap(c, 0x1011, points);
  const auto& m = c.cpi.maps[0];
  ASSERT_EQ(m.fine.size(), points.size());
  for (size_t i = 0; i < m.fine.size(); ++i) EXPECT_EQ(m.fine[i].spnEpFine, points[i].spn & 0x1FFFF);
  test::TempDir d;
  test::writeFile(d / "00001.clpi", writeClipInfo(c));
#ifdef MORVEX_HAVE_LIBBLURAY
  compareWithLibbluray(d / "00001.clpi");
#else
  GTEST_SKIP() << "libbluray not found at configure time; checked the entry points only";
#endif
}
