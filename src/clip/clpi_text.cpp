#include "clip/clpi_text.h"
#include "core/stream_coding.h"
#include "core/text.h"

#include "playlist/names.h"

namespace morvex::clip {

// The attribute names are the ones the playlist shows (the coding types' are core's):
// one table for every screen.
std::string codingTypeName(uint8_t t) { return std::string(core::codingTypeName(t)); }
std::string videoFormatName(uint8_t v) { return std::string(playlist::videoFormatName(v)); }
std::string frameRateName(uint8_t v) { return std::string(playlist::frameRateName(v)); }
std::string audioPresentationName(uint8_t v) { return std::string(playlist::audioPresentationName(v)); }
std::string samplingFrequencyName(uint8_t v) { return std::string(playlist::samplingFrequencyName(v)); }

const std::vector<std::string>& applicationTypeNames() {
  static const std::vector<std::string> n = {"res.",
                                             "Main TS for a Movie",
                                             "Main TS for a Time based slide show",
                                             "Main TS for a Browsable slide show",
                                             "Sub TS for a Browsable slide show",
                                             "Sub TS for a Interactive Graphics menu",
                                             "Sub TS for a Text subtitle",
                                             "Sub TS for a one or more elementary streams path"};
  return n;
}

std::string streamDetails(const ClipStream& s) {
  const uint8_t t = s.codingType;
  if (core::isVideoCoding(t)) {
    std::string d = videoFormatName(s.videoFormat) + ", " + frameRateName(s.frameRate) + ", " +
                    (s.aspectRatio == 2 ? "4:3" : "16:9");
    if (core::isCoding(t, core::StreamCoding::Hevc))
      d += ", " + core::hevcAttributesText(s.dynamicRangeType, s.colorSpace, s.crFlag, s.hdrPlusFlag);
    return d;
  }
  if (core::isAudioCoding(t))
    return audioPresentationName(s.audioPresentationType) + ", " + samplingFrequencyName(s.samplingFrequency) +
           ", " + s.audioLanguage;
  if (core::isCoding(t, core::StreamCoding::Pg)) return s.pgLanguage;
  if (core::isCoding(t, core::StreamCoding::Ig)) return s.igLanguage;
  if (core::isTextSubtitleCoding(t)) return std::to_string(s.characterCode) + ", " + s.textStLanguage;
  return "";
}

const std::vector<std::string> kHeadCI = {"PID", "Stream type", "Details"};
const std::vector<std::string> kHeadSequence = {"SPN_ATC_start", "num of STC", "offset STC"};
const std::vector<std::string> kHeadSTC = {"PCR_PID", "SPN_STC_st", "present. st.", "present. end"};
const std::vector<std::string> kHeadATCdelta = {"ATC_delta", "following", "clipcodec"};
const std::vector<std::string> kHeadFontFiles = {"filename"};
const std::vector<std::string> kHeadEPmap = {"PID", "EP type", "EP coarse", "EP fine", "EP map st."};
const std::vector<std::string> kHeadEPCoarse = {"ref_to", "PTS_EP", "SPN_EP"};
const std::vector<std::string> kHeadEPfine = {"is_angle_ch", "I_end_pos", "PTS_EP", "SPN_EP"};
const std::vector<std::string> kHeadCIRef = {"mpls", "s/p", "item"};

GridRows programRows(const ProgramSequence& p) {
  GridRows rows;
  for (size_t i = 0; i < p.streams.size(); ++i) {
    const auto& s = p.streams[i];
    rows.push_back({std::to_string(i + 1), core::hexText(s.pid, 4), codingTypeName(s.codingType), streamDetails(s)});
  }
  return rows;
}

GridRows programRows(const ClipInfo& c) {
  if (c.programInfo.programSequences.empty()) return {};
  return programRows(c.programInfo.programSequences.back());
}

GridRows sequenceRows(const ClipInfo& c) {
  GridRows rows;
  const auto& a = c.sequenceInfo.atcSequences;
  for (size_t i = 0; i < a.size(); ++i)
    rows.push_back({std::to_string(i), core::hexText(a[i].spnAtcStart, 8), std::to_string(a[i].stcSequences.size()),
                    std::to_string(a[i].offsetStcId)});
  return rows;
}

GridRows stcRows(const ClipInfo& c) {
  GridRows rows;
  const auto& a = c.sequenceInfo.atcSequences;
  for (size_t i = 0; i < a.size(); ++i)
    for (const auto& s : a[i].stcSequences)
      rows.push_back({std::to_string(i), core::hexText(s.pcrPid, 4), core::hexText(s.spnStcStart, 8),
                      core::clock45k(s.presentationStartTime), core::clock45k(s.presentationEndTime)});
  return rows;
}

GridRows atcDeltaRows(const ClipInfo& c) {
  GridRows rows;
  const auto& v = c.clipInfo.atcDeltaEntries;
  for (size_t i = 0; i < v.size(); ++i)
    rows.push_back({std::to_string(i), core::hexText(v[i].atcDelta, 8), v[i].followingClip, v[i].clipCodec});
  return rows;
}

GridRows fontRows(const ClipInfo& c) {
  GridRows rows;
  const auto& v = c.clipInfo.fontFiles;
  for (size_t i = 0; i < v.size(); ++i) rows.push_back({std::to_string(i + 1), v[i]});
  return rows;
}

GridRows epMapRows(const ClipInfo& c) {
  GridRows rows;
  const auto& v = c.cpi.epMapEntries;
  for (size_t i = 0; i < v.size(); ++i)
    rows.push_back({std::to_string(i), core::hexText(v[i].streamPid, 4), core::hexText(v[i].epStreamType, 1),
                    core::hexText(v[i].numCoarse, 4), core::hexText(v[i].numFine, 5), core::hexText(v[i].mapStartAddress, 8)});
  return rows;
}

GridRow epCoarseRow(const EpMap& m, size_t i) {
  const auto& k = m.coarse.at(i);
  return {core::hexText(i, 4), core::hexText(k.refToEpFineId, 5), core::hexText(k.ptsEpCoarse, 4),
          core::hexText(k.spnEpCoarse, 8)};
}

GridRow epFineRow(const EpMap& m, size_t i) {
  const auto& f = m.fine.at(i);
  return {core::hexText(i, 5), f.isAngleChangePoint ? "y" : "n", std::to_string(f.iEndPositionOffset),
          core::hexText(f.ptsEpFine, 4), core::hexText(f.spnEpFine, 5)};
}

GridRows epCoarseRows(const EpMap& m) {
  GridRows rows;
  for (size_t i = 0; i < m.coarse.size(); ++i) rows.push_back(epCoarseRow(m, i));
  return rows;
}

GridRows epFineRows(const EpMap& m) {
  GridRows rows;
  for (size_t i = 0; i < m.fine.size(); ++i) rows.push_back(epFineRow(m, i));
  return rows;
}

uint32_t pidFromText(const std::string& text) { return uint32_t(*core::parseHex(text, 8, core::HexInput::SkipOthers)); }

bool rowLoadsMenu(const std::string& pidText, uint64_t streamSize) {
  return streamSize > 0 && ((pidFromText(pidText) >> 8) & 0xFF) == 0x14;
}

}  // namespace morvex::clip
