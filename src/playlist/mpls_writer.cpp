#include "playlist/mpls_writer.h"

#include <algorithm>

#include "playlist/names.h"

namespace morvex::playlist {

using core::ByteWriter;

void writeentry(ByteWriter& out, const TStreamEntry& e, size_t o) {
  out.putbyte(e.length, o);
  out.putbyte(e.type, o + 1);
  for (size_t i = 2; i < 10; ++i) out.putbyte(0, o + i);
  switch (e.type) {
    case 1:
      out.putword(e.mainPID, o + 2);
      break;
    case 2:
      out.putbyte(e.subPathId, o + 2);
      out.putbyte(e.subClipId, o + 3);
      out.putword(e.subPID, o + 4);
      break;
    case 3:
      out.putbyte(e.subPathId, o + 2);
      out.putword(e.mainPID, o + 3);
      break;
    default:
      break;
  }
}

void writeattrib(ByteWriter& out, const TStreamAttributes& a, size_t o) {
  out.putbyte(a.length, o);
  out.putbyte(a.codingType, o + 1);
  out.putlong(0, o + 2);
  const unsigned t = a.codingType;
  if (isVideoCoding(t)) {
    out.putbyte(((a.videoFormat & 0x0F) << 4) | (a.frameRate & 0x0F), o + 2);
  } else if (isAudioCoding(t)) {
    out.putbyte(((a.audioPresentation & 0x0F) << 4) | (a.samplingFrequency & 0x0F), o + 2);
    out.putstring(a.language, o + 3, 3);
  } else if (isGraphicsCoding(t)) {
    out.putstring(a.language, o + 2, 3);
  } else if (isTextSubtitleCoding(t)) {
    out.putbyte(a.charCode, o + 2);
    out.putstring(a.language, o + 3, 3);
  }
}

namespace {

constexpr size_t kMaxAppInfoBlock = 18 + 0x10000;

// Streams always take 16 bytes in the file: the entry and the attributes are written
// at fixed places whatever their stored lengths say.
void addStream(ByteWriter& w, const TStream& s) {
  size_t o = w.outlen();
  writeentry(w, s.entry, o);
  writeattrib(w, s.attr, o + 10);
}

void addRefs(ByteWriter& w, const std::vector<uint8_t>& refs) {
  w.addbyte(static_cast<uint32_t>(refs.size() & 0xFF));
  w.addbyte(0);
  for (uint8_t r : refs) w.addbyte(r);
  if (refs.size() & 1) w.addbyte(0);
}

void addClipRef(ByteWriter& w, const TClipRef& c) {
  w.addstring(c.clipName, 5);
  w.addstring(c.codecId, 4);
  w.addbyte(c.stcId);
}

void addSTN(ByteWriter& w, const TSTN& s) {
  w.addword(s.length);
  w.addword(s.reserved);
  w.addbyte(s.numVideo);
  w.addbyte(s.numAudio);
  w.addbyte(s.numPG);
  w.addbyte(s.numIG);
  w.addbyte(s.numSecAudio);
  w.addbyte(s.numSecVideo);
  w.addbyte(s.numPIPPG);
  w.addzeros(5);
  for (const auto& x : s.video) addStream(w, x);
  for (const auto& x : s.audio) addStream(w, x);
  for (const auto& x : s.pg) addStream(w, x);
  for (const auto& x : s.ig) addStream(w, x);
  for (const auto& x : s.secAudio) {
    addStream(w, x);
    addRefs(w, x.primaryAudioRefs);
  }
  for (const auto& x : s.secVideo) {
    addStream(w, x);
    addRefs(w, x.secAudioRefs);
    addRefs(w, x.pipPGRefs);
  }
}

void addPlayItem(ByteWriter& w, const TPlayItem& p) {
  w.addword(p.length);
  w.addstring(p.clipName, 5);
  w.addstring(p.codecId, 4);
  w.addword(((p.isMultiAngle & 1u) << 4) | (p.connectionCondition & 0x0F));
  w.addbyte(p.stcId);
  w.addlong(p.inTime);
  w.addlong(p.outTime);
  w.addlong(p.uoMask1);
  w.addlong(p.uoMask2);
  w.addbyte(p.randomAccessFlag ? 0x80 : 0);
  w.addbyte(p.stillMode);
  w.addword(p.stillTime);
  if (p.isMultiAngle) {
    const auto& mc = p.multiClip;
    w.addbyte(mc.numAngles);
    w.addbyte((mc.isDifferentAudios & 1u) * 2 + (mc.isSeamlessAngleChange & 1u));
    for (size_t a = 1; a < mc.angles.size(); ++a) addClipRef(w, mc.angles[a]);
  }
  addSTN(w, p.stn);
}

void addSubPlayItem(ByteWriter& w, const TSubPlayItem& s) {
  w.addword(s.length);
  w.addstring(s.clipName, 5);
  w.addstring(s.codecId, 4);
  w.addlong(uint32_t(s.connectionCondition) * 2 + (s.isMultiClipEntries & 1u));
  w.addbyte(s.stcId);
  w.addlong(s.inTime);
  w.addlong(s.outTime);
  w.addword(s.syncPlayItemId);
  w.addlong(s.syncStartPTS);
  if (s.isMultiClipEntries) {
    w.addbyte(s.numMultiClip);
    w.addbyte(s.reserved);
    for (size_t c = 1; c < s.clips.size(); ++c) addClipRef(w, s.clips[c]);
  }
}

void addSubPath(ByteWriter& w, const TSubPath& sp) {
  w.addlong(sp.length);
  w.addbyte(sp.reserved1);
  w.addbyte(sp.type);
  w.addword(sp.repeat);
  w.addbyte(sp.reserved2);
  w.addbyte(sp.numSubPlayItems);
  for (const auto& s : sp.subPlayItems) addSubPlayItem(w, s);
}

// The AppInfoPlayList block: its length + 4 bytes, fields first, zeros after.
core::Bytes appInfoBlock(const AppInfoPlayList& ai) {
  ByteWriter w;
  w.addlong(ai.length);
  w.addbyte(ai.reserved);
  w.addbyte(ai.playbackType);
  w.addword(ai.playbackCount);
  w.addlong(ai.uoMask1);
  w.addlong(ai.uoMask2);
  w.addword((ai.PlayList_random_access_flag & 1u) * 0x8000 + (ai.audio_mix_app_flag & 1u) * 0x4000 +
            (ai.lossless_may_bypass_mixer_flag & 1u) * 0x2000);
  core::Bytes b = w.take();
  // The block is its length + 4 bytes, zero-filled after the fields. A length below
  // the 14 bytes of fields still gets its fields, and no length read from a damaged
  // file makes the writer fill more than 64 KiB: the block on a disc is 18 bytes.
  b.resize(std::clamp<size_t>(size_t(ai.length) + 4, 18, kMaxAppInfoBlock), 0);
  return b;
}

core::Bytes playListPart(const TPlayList& pl) {
  ByteWriter w;
  w.addlong(pl.length);
  w.addword(pl.reserved);
  w.addword(pl.numPlayItems);
  w.addword(pl.numSubPaths);
  for (const auto& p : pl.playItems) addPlayItem(w, p);
  for (const auto& s : pl.subPaths) addSubPath(w, s);
  return w.take();
}

core::Bytes markPart(const TPlayListMark& pm) {
  ByteWriter w;
  w.addlong(pm.length);
  w.addword(pm.numMarks);
  for (const auto& m : pm.marks) {
    w.addbyte(m.reserved);
    w.addbyte(m.type);
    w.addword(m.playItemRef);
    w.addlong(m.timeStamp);
    w.addword(m.entryPID);
    w.addlong(m.duration);
  }
  return w.take();
}

struct Parts {
  core::Bytes appInfo, playList, marks, ext;
  bool pad = false;
};

Parts buildParts(const TMPLS& m) {
  Parts p;
  p.appInfo = appInfoBlock(m.appInfo);
  p.playList = playListPart(m.playList);
  p.pad = (p.playList.size() & 1) != 0;
  p.marks = markPart(m.playListMark);
  if (m.extDataStart != 0) {
    ByteWriter w;
    core::WriteExtensionData(w, m.extData);
    p.ext = w.take();
  }
  return p;
}

MplsLayout layoutOf(const TMPLS& m, const Parts& p) {
  MplsLayout l;
  size_t pos = 40 + p.appInfo.size();
  l.playListStart = static_cast<uint32_t>(pos);
  pos += p.playList.size() + (p.pad ? 1 : 0);
  l.markStart = static_cast<uint32_t>(pos);
  pos += p.marks.size();
  l.extDataStart = m.extDataStart != 0 ? static_cast<uint32_t>(pos) : 0;
  pos += p.ext.size();
  l.fileSize = static_cast<uint32_t>(pos);
  return l;
}

}  // namespace

std::vector<std::string> layoutMismatches(const TMPLS& m) {
  std::vector<std::string> out;
  auto check = [&](const std::string& what, uint64_t held, uint64_t written) {
    if (held != written)
      out.push_back(what + " " + std::to_string(held) + ", written " + std::to_string(written));
  };
  const auto& pl = m.playList;
  check("number of PlayItems", pl.numPlayItems, pl.playItems.size());
  check("number of SubPaths", pl.numSubPaths, pl.subPaths.size());
  for (size_t i = 0; i < pl.playItems.size(); ++i) {
    const auto& p = pl.playItems[i];
    const std::string who = "PlayItem " + std::to_string(i) + ": ";
    ByteWriter w;
    addPlayItem(w, p);
    check(who + "length", p.length, w.outlen() - 2);
    ByteWriter s;
    addSTN(s, p.stn);
    check(who + "STN length", p.stn.length, s.outlen() - 2);
    if (p.isMultiAngle) check(who + "number of angles", std::max<size_t>(p.multiClip.numAngles, 1), p.multiClip.angles.size());
    const auto& t = p.stn;
    check(who + "primary video streams", t.numVideo, t.video.size());
    check(who + "primary audio streams", t.numAudio, t.audio.size());
    check(who + "PG streams", size_t(t.numPG) + t.numPIPPG, t.pg.size());
    check(who + "IG streams", t.numIG, t.ig.size());
    check(who + "secondary audio streams", t.numSecAudio, t.secAudio.size());
    check(who + "secondary video streams", t.numSecVideo, t.secVideo.size());
  }
  for (size_t j = 0; j < pl.subPaths.size(); ++j) {
    const auto& sp = pl.subPaths[j];
    const std::string who = "SubPath " + std::to_string(j) + ": ";
    ByteWriter w;
    addSubPath(w, sp);
    check(who + "length", sp.length, w.outlen() - 4);
    check(who + "number of SubPlayItems", sp.numSubPlayItems, sp.subPlayItems.size());
    for (size_t k = 0; k < sp.subPlayItems.size(); ++k) {
      const auto& s = sp.subPlayItems[k];
      ByteWriter x;
      addSubPlayItem(x, s);
      check(who + "SubPlayItem " + std::to_string(k) + " length", s.length, x.outlen() - 2);
      if (s.isMultiClipEntries)
        check(who + "SubPlayItem " + std::to_string(k) + " multi-clip entries", std::max<size_t>(s.numMultiClip, 1),
              s.clips.size());
    }
  }
  Parts parts = buildParts(m);
  check("AppInfoPlayList length", m.appInfo.length, parts.appInfo.size() - 4);
  check("PlayList length", pl.length, parts.playList.size() - 4);
  check("number of marks", m.playListMark.numMarks, m.playListMark.marks.size());
  check("PlayListMark length", m.playListMark.length, parts.marks.size() - 4);
  MplsLayout l = layoutOf(m, parts);
  check("PlayList start address", m.playListStart, l.playListStart);
  if (m.markStart != 0) check("PlayListMark start address", m.markStart, l.markStart);
  check("ExtensionData start address", m.extDataStart, l.extDataStart);
  return out;
}

void updateLengths(TMPLS& m) {
  auto& pl = m.playList;
  pl.numPlayItems = uint16_t(pl.playItems.size());
  pl.numSubPaths = uint16_t(pl.subPaths.size());
  for (auto& p : pl.playItems) {
    auto& t = p.stn;
    t.numVideo = uint8_t(t.video.size());
    t.numAudio = uint8_t(t.audio.size());
    t.numPG = uint8_t(t.pg.size() - std::min<size_t>(t.numPIPPG, t.pg.size()));
    t.numPIPPG = uint8_t(t.pg.size() - t.numPG);
    t.numIG = uint8_t(t.ig.size());
    t.numSecAudio = uint8_t(t.secAudio.size());
    t.numSecVideo = uint8_t(t.secVideo.size());
    if (p.isMultiAngle) {
      if (p.multiClip.angles.empty()) p.multiClip.angles.push_back({});
      p.multiClip.angles[0] = TClipRef{p.clipName, p.codecId, p.stcId};
      p.multiClip.numAngles = uint8_t(p.multiClip.angles.size());
    } else {
      p.multiClip = Tmulti_clip{};
    }
    ByteWriter s;
    addSTN(s, t);
    t.length = uint16_t(s.outlen() - 2);
    ByteWriter w;
    addPlayItem(w, p);
    p.length = uint16_t(w.outlen() - 2);
  }
  for (auto& sp : pl.subPaths) {
    sp.numSubPlayItems = uint8_t(sp.subPlayItems.size());
    for (auto& s : sp.subPlayItems) {
      if (s.isMultiClipEntries) {
        if (s.clips.empty()) s.clips.push_back({});
        s.clips[0] = TClipRef{s.clipName, s.codecId, s.stcId};
        s.numMultiClip = uint8_t(s.clips.size());
      } else {
        s.clips.clear();
        s.numMultiClip = 0;
      }
      ByteWriter x;
      addSubPlayItem(x, s);
      s.length = uint16_t(x.outlen() - 2);
    }
    ByteWriter w;
    addSubPath(w, sp);
    sp.length = uint32_t(w.outlen() - 4);
  }
  m.playListMark.numMarks = uint16_t(m.playListMark.marks.size());
  if (m.appInfo.length < 14) m.appInfo.length = 14;
  Parts parts = buildParts(m);
  pl.length = uint32_t(parts.playList.size() - 4);
  m.playListMark.length = uint32_t(parts.marks.size() - 4);
  m.extData.length = m.extData.entries.empty() && m.extData.data.empty() ? 0 : m.extData.length;
  MplsLayout l = layoutOf(m, parts);
  m.playListStart = l.playListStart;
  if (m.markStart != 0) m.markStart = l.markStart;
  m.extDataStart = l.extDataStart;
}

MplsLayout mplsLayout(const TMPLS& model) { return layoutOf(model, buildParts(model)); }

core::Bytes buildMPLS(const TMPLS& m) {
  Parts p = buildParts(m);
  MplsLayout l = layoutOf(m, p);
  ByteWriter w;
  w.addstring(m.typeIndicator, 4);
  w.addstring(m.version, 4);
  w.addlong(l.playListStart);
  // A held mark address of 0 means "no mark section" to the reader; it stays 0 so the
  // file reads back as it was held.
  w.addlong(m.markStart == 0 ? 0 : l.markStart);
  w.addlong(l.extDataStart);
  w.addzeros(20);
  w.addbytes(p.appInfo);
  w.addbytes(p.playList);
  if (p.pad) w.addbyte(0);
  w.addbytes(p.marks);
  w.addbytes(p.ext);
  return w.take();
}

bool saveMPLS(core::Log& log, const core::SaveSettings& settings, const std::filesystem::path& folder,
              const std::string& fileName, const TMPLS& model) {
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.startMessage = "Saving " + fileName;
  return core::saveFile(log, settings, req, buildMPLS(model));
}

bool plsave(core::Log& log, const core::SaveSettings& settings, const core::FileNames& names,
            const std::filesystem::path& bdmvFolder, const std::string& playlistName, const TMPLS& model) {
  return saveMPLS(log, settings, bdmvFolder / "PLAYLIST", playlistName + names.playlistext, model);
}

}  // namespace morvex::playlist
