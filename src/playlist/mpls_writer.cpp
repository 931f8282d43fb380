#include "playlist/mpls_writer.h"

#include <algorithm>

#include "core/stream_coding.h"

namespace morvex::playlist {

using core::ByteWriter;

void writeEntry(ByteWriter& out, const StreamEntry& e, size_t o) {
  out.putU8(e.length, o);
  out.putU8(e.type, o + 1);
  for (size_t i = 2; i < 10; ++i) out.putU8(0, o + i);
  switch (e.type) {
    case 1:
      out.putU16(e.mainPID, o + 2);
      break;
    case 2:
      out.putU8(e.subPathId, o + 2);
      out.putU8(e.subClipId, o + 3);
      out.putU16(e.subPID, o + 4);
      break;
    case 3:
      out.putU8(e.subPathId, o + 2);
      out.putU16(e.mainPID, o + 3);
      break;
    default:
      break;
  }
}

void writeAttributes(ByteWriter& out, const StreamAttributes& a, size_t o) {
  out.putU8(a.length, o);
  out.putU8(a.codingType, o + 1);
  out.putU32(0, o + 2);
  const unsigned t = a.codingType;
  if (core::isVideoCoding(t)) {
    out.putU8(((a.videoFormat & 0x0F) << 4) | (a.frameRate & 0x0F), o + 2);
    if (core::isCoding(t, core::StreamCoding::Hevc)) {
      out.putU8(((a.dynamicRangeType & 0x0F) << 4) | (a.colorSpace & 0x0F), o + 3);
      out.putU8(((a.crFlag & 1) << 7) | ((a.hdrPlusFlag & 1) << 6), o + 4);
    }
  } else if (core::isAudioCoding(t)) {
    out.putU8(((a.audioPresentation & 0x0F) << 4) | (a.samplingFrequency & 0x0F), o + 2);
    out.putString(a.language, o + 3, 3);
  } else if (core::isGraphicsCoding(t)) {
    out.putString(a.language, o + 2, 3);
  } else if (core::isTextSubtitleCoding(t)) {
    out.putU8(a.charCode, o + 2);
    out.putString(a.language, o + 3, 3);
  }
}

namespace {

constexpr size_t kMaxAppInfoBlock = 18 + 0x10000;

// Streams always take 16 bytes in the file: the entry and the attributes are written
// at fixed places whatever their stored lengths say.
void addStream(ByteWriter& w, const Stream& s) {
  size_t o = w.length();
  writeEntry(w, s.entry, o);
  writeAttributes(w, s.attr, o + 10);
}

void addRefs(ByteWriter& w, const std::vector<uint8_t>& refs) {
  w.addU8(static_cast<uint32_t>(refs.size() & 0xFF));
  w.addU8(0);
  for (uint8_t r : refs) w.addU8(r);
  if (refs.size() & 1) w.addU8(0);
}

void addClipRef(ByteWriter& w, const ClipRef& c) {
  w.addString(c.clipName, 5);
  w.addString(c.codecId, 4);
  w.addU8(c.stcId);
}

void addSTN(ByteWriter& w, const StreamTable& s) {
  w.addU16(s.length);
  w.addU16(s.reserved);
  w.addU8(s.numVideo);
  w.addU8(s.numAudio);
  w.addU8(s.numPG);
  w.addU8(s.numIG);
  w.addU8(s.numSecAudio);
  w.addU8(s.numSecVideo);
  w.addU8(s.numPIPPG);
  w.addU8(s.numDV);
  w.addZeros(4);
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
  for (const auto& x : s.dv) addStream(w, x);
}

void addPlayItem(ByteWriter& w, const PlayItem& p) {
  w.addU16(p.length);
  w.addString(p.clipName, 5);
  w.addString(p.codecId, 4);
  w.addU16(((p.isMultiAngle & 1u) << 4) | (p.connectionCondition & 0x0F));
  w.addU8(p.stcId);
  w.addU32(p.inTime);
  w.addU32(p.outTime);
  w.addU32(p.uoMask1);
  w.addU32(p.uoMask2);
  w.addU8(p.randomAccessFlag ? 0x80 : 0);
  w.addU8(p.stillMode);
  w.addU16(p.stillTime);
  if (p.isMultiAngle) {
    const auto& mc = p.multiClip;
    w.addU8(mc.numAngles);
    w.addU8((mc.isDifferentAudios & 1u) * 2 + (mc.isSeamlessAngleChange & 1u));
    for (size_t a = 1; a < mc.angles.size(); ++a) addClipRef(w, mc.angles[a]);
  }
  addSTN(w, p.stn);
}

void addSubPlayItem(ByteWriter& w, const SubPlayItem& s) {
  w.addU16(s.length);
  w.addString(s.clipName, 5);
  w.addString(s.codecId, 4);
  w.addU32(uint32_t(s.connectionCondition) * 2 + (s.isMultiClipEntries & 1u));
  w.addU8(s.stcId);
  w.addU32(s.inTime);
  w.addU32(s.outTime);
  w.addU16(s.syncPlayItemId);
  w.addU32(s.syncStartPTS);
  if (s.isMultiClipEntries) {
    w.addU8(s.numMultiClip);
    w.addU8(s.reserved);
    for (size_t c = 1; c < s.clips.size(); ++c) addClipRef(w, s.clips[c]);
  }
}

void addSubPath(ByteWriter& w, const SubPath& sp) {
  w.addU32(sp.length);
  w.addU8(sp.reserved1);
  w.addU8(sp.type);
  w.addU16(sp.repeat);
  w.addU8(sp.reserved2);
  w.addU8(sp.numSubPlayItems);
  for (const auto& s : sp.subPlayItems) addSubPlayItem(w, s);
}

// The PlaylistAppInfo block: its length + 4 bytes, fields first, zeros after.
core::Bytes appInfoBlock(const PlaylistAppInfo& ai) {
  ByteWriter w;
  w.addU32(ai.length);
  w.addU8(ai.reserved);
  w.addU8(ai.playbackType);
  w.addU16(ai.playbackCount);
  w.addU32(ai.uoMask1);
  w.addU32(ai.uoMask2);
  w.addU16((ai.randomAccessFlag & 1u) * 0x8000 + (ai.audioMixAppFlag & 1u) * 0x4000 +
            (ai.losslessMayBypassMixerFlag & 1u) * 0x2000 + (ai.mvcBaseViewRFlag & 1u) * 0x1000 +
            (ai.sdrConversionNotificationFlag & 1u) * 0x0800);
  core::Bytes b = w.take();
  // The block is its length + 4 bytes, zero-filled after the fields. A length below
  // the 14 bytes of fields still gets its fields, and no length read from a damaged
  // file makes the writer fill more than 64 KiB: the block on a disc is 18 bytes.
  b.resize(std::clamp<size_t>(size_t(ai.length) + 4, 18, kMaxAppInfoBlock), 0);
  return b;
}

core::Bytes playListPart(const PlayItemList& pl) {
  ByteWriter w;
  w.addU32(pl.length);
  w.addU16(pl.reserved);
  w.addU16(pl.numPlayItems);
  w.addU16(pl.numSubPaths);
  for (const auto& p : pl.playItems) addPlayItem(w, p);
  for (const auto& s : pl.subPaths) addSubPath(w, s);
  return w.take();
}

core::Bytes markPart(const MarkList& pm) {
  ByteWriter w;
  w.addU32(pm.length);
  w.addU16(pm.numMarks);
  for (const auto& m : pm.marks) {
    w.addU8(m.reserved);
    w.addU8(m.type);
    w.addU16(m.playItemRef);
    w.addU32(m.timeStamp);
    w.addU16(m.entryPID);
    w.addU32(m.duration);
  }
  return w.take();
}

struct Parts {
  core::Bytes appInfo, playList, marks, ext;
  bool pad = false;
};

Parts buildParts(const Playlist& m) {
  Parts p;
  p.appInfo = appInfoBlock(m.appInfo);
  p.playList = playListPart(m.playList);
  p.pad = (p.playList.size() & 1) != 0;
  p.marks = markPart(m.playListMark);
  if (m.extDataStart != 0) {
    ByteWriter w;
    core::writeExtensionData(w, m.extData);
    p.ext = w.take();
  }
  return p;
}

MplsLayout layoutOf(const Playlist& m, const Parts& p) {
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

std::vector<std::string> readLayoutMismatches(const Playlist& m) {
  std::vector<std::string> out;
  auto check = [&](const std::string& what, uint64_t stored, uint64_t read) {
    if (stored != read) out.push_back(what + " " + std::to_string(stored) + ", read " + std::to_string(read));
  };
  auto notInside = [&](const std::string& what, uint64_t stored, uint64_t earliest) {
    if (stored < earliest)
      out.push_back(what + " " + std::to_string(stored) + ", inside the section before it (which ends at " +
                    std::to_string(earliest) + ")");
  };
  const auto& pl = m.playList;
  check("number of PlayItems", pl.numPlayItems, pl.playItems.size());
  check("number of SubPaths", pl.numSubPaths, pl.subPaths.size());
  for (size_t j = 0; j < pl.subPaths.size(); ++j)
    check("SubPath " + std::to_string(j) + ": number of SubPlayItems", pl.subPaths[j].numSubPlayItems,
          pl.subPaths[j].subPlayItems.size());
  check("number of marks", m.playListMark.numMarks, m.playListMark.marks.size());
  Parts parts = buildParts(m);
  check("AppInfoPlayList length", m.appInfo.length, parts.appInfo.size() - 4);
  check("PlayList length", pl.length, parts.playList.size() - 4);
  if (m.markStart != 0) check("PlayListMark length", m.playListMark.length, parts.marks.size() - 4);
  notInside("PlayList start address", m.playListStart, 40 + parts.appInfo.size());
  const uint64_t playListEnd = uint64_t(m.playListStart) + parts.playList.size();
  if (m.markStart != 0) notInside("PlayListMark start address", m.markStart, playListEnd);
  if (m.extDataStart != 0)
    notInside("ExtensionData start address", m.extDataStart,
              m.markStart != 0 ? uint64_t(m.markStart) + parts.marks.size() : playListEnd);
  return out;
}

std::vector<std::string> layoutMismatches(const Playlist& m) {
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
    check(who + "length", p.length, w.length() - 2);
    ByteWriter s;
    addSTN(s, p.stn);
    check(who + "STN length", p.stn.length, s.length() - 2);
    if (p.isMultiAngle) check(who + "number of angles", std::max<size_t>(p.multiClip.numAngles, 1), p.multiClip.angles.size());
    const auto& t = p.stn;
    check(who + "primary video streams", t.numVideo, t.video.size());
    check(who + "primary audio streams", t.numAudio, t.audio.size());
    check(who + "PG streams", size_t(t.numPG) + t.numPIPPG, t.pg.size());
    check(who + "IG streams", t.numIG, t.ig.size());
    check(who + "secondary audio streams", t.numSecAudio, t.secAudio.size());
    check(who + "secondary video streams", t.numSecVideo, t.secVideo.size());
    check(who + "Dolby Vision streams", t.numDV, t.dv.size());
  }
  for (size_t j = 0; j < pl.subPaths.size(); ++j) {
    const auto& sp = pl.subPaths[j];
    const std::string who = "SubPath " + std::to_string(j) + ": ";
    ByteWriter w;
    addSubPath(w, sp);
    check(who + "length", sp.length, w.length() - 4);
    check(who + "number of SubPlayItems", sp.numSubPlayItems, sp.subPlayItems.size());
    for (size_t k = 0; k < sp.subPlayItems.size(); ++k) {
      const auto& s = sp.subPlayItems[k];
      ByteWriter x;
      addSubPlayItem(x, s);
      check(who + "SubPlayItem " + std::to_string(k) + " length", s.length, x.length() - 2);
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

void updateLengths(Playlist& m) {
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
    t.numDV = uint8_t(t.dv.size());
    if (p.isMultiAngle) {
      if (p.multiClip.angles.empty()) p.multiClip.angles.push_back({});
      p.multiClip.angles[0] = ClipRef{p.clipName, p.codecId, p.stcId};
      p.multiClip.numAngles = uint8_t(p.multiClip.angles.size());
    } else {
      p.multiClip = MultiClip{};
    }
    ByteWriter s;
    addSTN(s, t);
    t.length = uint16_t(s.length() - 2);
    ByteWriter w;
    addPlayItem(w, p);
    p.length = uint16_t(w.length() - 2);
  }
  for (auto& sp : pl.subPaths) {
    sp.numSubPlayItems = uint8_t(sp.subPlayItems.size());
    for (auto& s : sp.subPlayItems) {
      if (s.isMultiClipEntries) {
        if (s.clips.empty()) s.clips.push_back({});
        s.clips[0] = ClipRef{s.clipName, s.codecId, s.stcId};
        s.numMultiClip = uint8_t(s.clips.size());
      } else {
        s.clips.clear();
        s.numMultiClip = 0;
      }
      ByteWriter x;
      addSubPlayItem(x, s);
      s.length = uint16_t(x.length() - 2);
    }
    ByteWriter w;
    addSubPath(w, sp);
    sp.length = uint32_t(w.length() - 4);
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

MplsLayout mplsLayout(const Playlist& model) { return layoutOf(model, buildParts(model)); }

core::Bytes writePlaylist(const Playlist& m) {
  Parts p = buildParts(m);
  MplsLayout l = layoutOf(m, p);
  ByteWriter w;
  w.addString(m.typeIndicator, 4);
  w.addString(m.version, 4);
  w.addU32(l.playListStart);
  // A held mark address of 0 means "no mark section" to the reader; it stays 0 so the
  // file reads back as it was held.
  w.addU32(m.markStart == 0 ? 0 : l.markStart);
  w.addU32(l.extDataStart);
  w.addZeros(20);
  w.addBytes(p.appInfo);
  w.addBytes(p.playList);
  if (p.pad) w.addU8(0);
  w.addBytes(p.marks);
  w.addBytes(p.ext);
  return w.take();
}

core::WriteResult savePlaylist(const Playlist& model, const std::filesystem::path& folder, const std::string& fileName,
                               const core::SaveSettings& settings, core::Log& log) {
  core::SaveRequest req;
  req.folder = folder;
  req.fileName = fileName;
  req.startMessage = "Saving " + fileName;
  // With "Save to BACKUP dir" the disc's BACKUP/PLAYLIST keeps a copy (folder is
  // <disc>/PLAYLIST).
  req.copyToBackupDir = true;
  req.discFolder = (folder.has_filename() ? folder : folder.parent_path()).parent_path();
  req.backupSubfolder = "PLAYLIST";
  return core::saveFile(log, settings, req, writePlaylist(model));
}

}  // namespace morvex::playlist
