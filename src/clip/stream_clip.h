#pragma once
// Clip information computed from a BD AV stream itself, for streams a program made (an
// encoder's output, a menu clip): the packet count, the video's presentation span and
// the random-access points that become the EP map.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "clip/clpi.h"
#include "clip/ep_map.h"

namespace morvex::clip {

// What the clip information says about a stream, read from the stream: its packet
// count, the video's first and last presentation time (90 kHz) and its random-access
// points (PES starts whose adaptation field sets the random access indicator).
struct StreamFacts {
  bool ok = false;          // readable, whole packets, at least one key frame
  std::string error;
  uint64_t packets = 0;
  uint64_t firstPts = UINT64_MAX, lastPts = 0;
  std::vector<EntryPoint> keys;
};

StreamFacts scanStream(const std::filesystem::path& file, uint16_t videoPid);

// An H.264 video entry of a clip's program: `videoFormat` 6 is 1080p, `frameRate` 1 is
// 23.976 (the codes the clip and playlist stream attributes share), 16:9.
ClipStream avcVideoStream(uint16_t pid, uint8_t videoFormat = 6, uint8_t frameRate = 1);

// The clip information of a stream as it is: one program (map PID 0x0100) of
// `streams`, one ATC and one STC sequence whose PCRs ride on `videoPid`, presentation
// from the first picture to the end of the last (`frameDuration` in 90 kHz), and an EP
// map of the key frames.
ClipInfo clipInfoOfStream(const StreamFacts& facts, std::vector<ClipStream> streams, uint16_t videoPid,
                          uint32_t frameDuration = 3754);

}  // namespace morvex::clip
