#pragma once
// Version 0300 (Ultra HD) files built byte by byte, without the program's writers, so
// that readers, writers and independent players can all be held against the same
// bytes. Each builder states every field it puts down; the values are the ones the
// tests expect back (see the constants below).
#include <cstdint>
#include <filesystem>
#include <vector>

namespace morvex::test::uhd {

using Bytes = std::vector<uint8_t>;

// index.bdmv: AppInfo flags 0x6181 (output mode preference 1, content-exists 1,
// dynamic range HDR10, 2160p, 23.976), provider data "UHD sample", First Playback
// HDMV object 0 (interactive), Top Menu HDMV object 1, one title: HDMV object 2,
// movie, access type 0; ExtensionData with the disc info entry (3, 1): disc type 5,
// 4K flag, HDR10+, Dolby Vision and HDR10 flags.
Bytes indexFile();
// MovieObject.bdmv: three objects (flags 0xA000, 0x0000, 0x6000), each one command
// jumping to title 1.
Bytes movieObjectFile();
// 00000.mpls: one PlayItem on clip 00000 (in 0, out 2700000), primary video HEVC PID
// 0x1011 (2160p, 23.976, HDR10, BT.2020, CR and HDR10+ flags), primary audio Dolby
// Lossless PID 0x1100 "eng"; two entry marks; SDR conversion notification flag set;
// ExtensionData with one static-metadata record (3, 5). `videoCoding` replaces the
// video stream's coding type (for the refusal tests).
Bytes playlistFile(uint8_t videoCoding = 0x24);
// 00000.clpi: main TS of a movie, one ATC/STC sequence, one program with the HEVC
// video (aspect 16:9, CR flag, HDR10, BT.2020, HDR10+) and the Dolby Lossless audio,
// no CPI, no ClipMark.
Bytes clipInfoFile();

// Writes the four files as <root>/BDMV/{index.bdmv, MovieObject.bdmv,
// PLAYLIST/00000.mpls, CLIPINF/00000.clpi}, their copies in BACKUP and an empty
// STREAM/00000.m2ts.
void writeDisc(const std::filesystem::path& root);

// Offsets of fields inside the built files, for tests that damage them.
constexpr size_t kPlaylistVideoCodingAt = 58 + 4 + 6 + 34 + 16 + 11;  // coding type of the video stream
constexpr size_t kClipVideoAttrAt = 246 + 6 + 8 + 3;                   // coding type of the clip's video

}  // namespace morvex::test::uhd
