#pragma once
// Small playlists built in code for the playlist tests.
#include "playlist/mpls.h"
#include "playlist/mpls_writer.h"

namespace morvex::playlist::synth {

inline Stream video(uint16_t pid = 0x1011, uint8_t rate = 1) {
  Stream s;
  s.entry = {9, 1, pid, 0, 0, 0};
  s.attr.codingType = 0x1B;
  s.attr.videoFormat = 6;
  s.attr.frameRate = rate;
  return s;
}

inline Stream audio(uint16_t pid, const char* lang) {
  Stream s;
  s.entry = {9, 1, pid, 0, 0, 0};
  s.attr.codingType = 0x81;
  s.attr.audioPresentation = 6;
  s.attr.samplingFrequency = 1;
  s.attr.language = lang;
  return s;
}

inline Stream graphics(uint16_t pid, uint8_t coding, const char* lang) {
  Stream s;
  s.entry = {9, 1, pid, 0, 0, 0};
  s.attr.codingType = coding;
  s.attr.language = lang;
  return s;
}

inline PlayItem playItem(const char* clip, uint32_t in, uint32_t out) {
  PlayItem p;
  p.clipName = clip;
  p.codecId = "M2TS";
  p.connectionCondition = 1;
  p.inTime = in;
  p.outTime = out;
  p.stn.video.push_back(video());
  p.stn.audio.push_back(audio(0x1100, "eng"));
  return p;
}

// Two PlayItems (IN/OUT 0/4500000 and 900000/2700000), one with PG and PiP PG and
// secondary streams, a SubPath, three marks and, when asked, an ExtensionData block.
inline Playlist twoItems(bool withExt = false) {
  Playlist m;
  m.typeIndicator = "MPLS";
  m.version = "0200";
  m.markStart = 1;  // a mark section: updateLengths puts the real address
  m.appInfo.length = 14;
  m.appInfo.uoMask1 = 0x12345678;
  m.playList.playItems.push_back(playItem("00001", 0, 4500000));
  PlayItem p2 = playItem("00002", 900000, 2700000);
  p2.stn.audio.push_back(audio(0x1101, "fre"));
  p2.stn.pg.push_back(graphics(0x1200, 0x90, "eng"));
  p2.stn.pg.push_back(graphics(0x1201, 0x90, "ger"));
  p2.stn.pg.push_back(graphics(0x1A00, 0x90, "jpn"));  // picture-in-picture
  p2.stn.numPIPPG = 1;
  SecondaryAudioStream sa;
  static_cast<Stream&>(sa) = audio(0x1A00, "eng");
  sa.attr.codingType = 0xA1;
  sa.primaryAudioRefs = {0, 1, 2};
  p2.stn.secAudio.push_back(sa);
  SecondaryVideoStream sv;
  static_cast<Stream&>(sv) = video(0x1B00);
  sv.secAudioRefs = {0};
  sv.pipPGRefs = {0, 1};
  p2.stn.secVideo.push_back(sv);
  m.playList.playItems.push_back(p2);
  SubPath sp;
  sp.type = 5;
  SubPlayItem s;
  s.clipName = "00003";
  s.codecId = "M2TS";
  s.connectionCondition = 1;
  s.inTime = 100;
  s.outTime = 200;
  sp.subPlayItems.push_back(s);
  m.playList.subPaths.push_back(sp);
  m.playListMark.marks = {Mark{0, 1, 0, 0, 0xFFFF, 0}, Mark{0, 1, 1, 1800000, 0xFFFF, 0},
                          Mark{0, 2, 1, 2000000, 0x1011, 45}};
  if (withExt) {
    m.extDataStart = 1;
    m.extData.length = 12 + 12 + 4 - 4 + 4;
    m.extData.dataBlockStartAddress = 24;
    m.extData.entries.push_back({1, 1, 24, 4});
    m.extData.data = {1, 2, 3, 4};
    m.extData.length = 24;
  }
  updateLengths(m);
  return m;
}

// The model as the file can hold it: stream fields that the entry type or the coding
// type does not use are not written, so they read back as zero.
inline void clearUnused(Stream& s) {
  auto& e = s.entry;
  if (e.type != 2 && e.type != 3) e.subPathId = 0;
  if (e.type != 2) e.subClipId = e.subPID = 0;
  if (e.type != 1 && e.type != 3) e.mainPID = 0;
  auto& a = s.attr;
  const unsigned t = a.codingType;
  const bool video = t == 0x02 || t == 0x1B || t == 0xEA;
  const bool audio = (t >= 0x80 && t <= 0x86) || t == 0xA1 || t == 0xA2;
  const bool graphics = t == 0x90 || t == 0x91;
  const bool text = t == 0x92;
  if (!video) a.videoFormat = a.frameRate = 0;
  if (!audio) a.audioPresentation = a.samplingFrequency = 0;
  if (!text) a.charCode = 0;
  if (!audio && !graphics && !text) a.language.clear();
}

inline Playlist writable(Playlist m) {
  for (auto& p : m.playList.playItems) {
    for (auto* list : {&p.stn.video, &p.stn.audio, &p.stn.pg, &p.stn.ig})
      for (auto& s : *list) clearUnused(s);
    for (auto& s : p.stn.secAudio) clearUnused(s);
    for (auto& s : p.stn.secVideo) clearUnused(s);
  }
  return m;
}

}  // namespace morvex::playlist::synth
