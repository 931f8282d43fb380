#include "support/uhd_disc.h"

#include <fstream>
#include <string>

namespace morvex::test::uhd {

namespace {

// Appends big-endian fields.
struct Buf {
  Bytes b;
  Buf& u8(uint32_t v) {
    b.push_back(uint8_t(v));
    return *this;
  }
  Buf& u16(uint32_t v) { return u8(v >> 8).u8(v); }
  Buf& u32(uint32_t v) { return u16(v >> 16).u16(v); }
  Buf& text(const std::string& s, size_t n) {
    for (size_t i = 0; i < n; ++i) u8(i < s.size() ? uint8_t(s[i]) : 0);
    return *this;
  }
  Buf& zeros(size_t n) { return text("", n); }
  Buf& add(const Bytes& x) {
    b.insert(b.end(), x.begin(), x.end());
    return *this;
  }
  size_t size() const { return b.size(); }
};

// An ExtensionData() block with one entry whose data are `data`.
Bytes extensionBlock(uint16_t id1, uint16_t id2, const Bytes& data) {
  Buf x;
  x.u32(uint32_t(8 + 12 + data.size()));  // bytes after the length field
  x.u32(24);                              // data block start: after the one-entry table
  x.zeros(3).u8(1);
  x.u16(id1).u16(id2).u32(24).u32(uint32_t(data.size()));
  x.add(data);
  return x.b;
}

}  // namespace

Bytes indexFile() {
  Buf f;
  f.text("INDX", 4).text("0300", 4);
  f.u32(78);                 // Indexes()
  f.u32(78 + 4 + 26 + 12);  // ExtensionData()
  f.zeros(24);
  f.u32(34).u16(0x6181).text("UHD sample", 32);
  f.u32(26 + 12);
  f.u32(0x40000000).u16(0x4000).u16(0).u32(0);  // First Playback: HDMV, interactive, object 0
  f.u32(0x40000000).u16(0x4000).u16(1).u32(0);  // Top Menu: HDMV, interactive, object 1
  f.u16(1);
  f.u32(0x40000000).u16(0x0000).u16(2).u32(0);  // title 1: HDMV, movie, object 2
  Buf info;
  info.u32(8).u8(0x51).u8(0).u8(0x16).u8(0).u32(0);
  f.add(extensionBlock(3, 1, info.b));
  return f.b;
}

Bytes movieObjectFile() {
  Buf f;
  f.text("MOBJ", 4).text("0300", 4).u32(0).zeros(28);
  f.u32(6 + 3 * (4 + 12)).u32(0).u16(3);
  const uint16_t flags[3] = {0xA000, 0x0000, 0x6000};
  for (int i = 0; i < 3; ++i) {
    f.u16(flags[i]).u16(1);
    f.u32(0x21810000).u32(1).u32(0);  // a jump to title 1
  }
  return f.b;
}

Bytes playlistFile(uint8_t videoCoding) {
  Buf stn;
  stn.u16(14 + 32).u16(0);
  stn.u8(1).u8(1).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).zeros(4);
  stn.u8(9).u8(1).u16(0x1011).zeros(6);                                      // video entry
  stn.u8(5).u8(videoCoding).u8(0x81).u8(0x12).u8(0xC0).u8(0);                 // HEVC attributes
  stn.u8(9).u8(1).u16(0x1100).zeros(6);                                      // audio entry
  stn.u8(5).u8(0x83).u8(0x61).text("eng", 3);                                // Dolby Lossless
  Buf item;
  item.u16(uint32_t(32 + stn.size()));
  item.text("00000", 5).text("M2TS", 4).u16(0x0001).u8(0);
  item.u32(0).u32(2700000).u32(0).u32(0).u8(0).u8(0).u16(0);
  item.add(stn.b);
  Buf list;
  list.u32(uint32_t(6 + item.size())).u16(0).u16(1).u16(0).add(item.b);
  Buf marks;
  marks.u32(2 + 2 * 14).u16(2);
  marks.u8(0).u8(1).u16(0).u32(0).u16(0xFFFF).u32(0);
  marks.u8(0).u8(1).u16(0).u32(1350000).u16(0xFFFF).u32(0);
  Buf meta;
  meta.u32(4 + 28).u8(1).zeros(3);
  meta.u8(0x10).zeros(3);                                      // HDR10
  meta.u16(8500).u16(39850).u16(6550).u16(2300).u16(35400).u16(14600);  // green, blue, red
  meta.u16(15635).u16(16450).u16(1000).u16(50).u16(1000).u16(400);

  const uint32_t listAt = 58, markAt = uint32_t(listAt + list.size()), extAt = uint32_t(markAt + marks.size());
  Buf f;
  f.text("MPLS", 4).text("0300", 4).u32(listAt).u32(markAt).u32(extAt).zeros(20);
  f.u32(14).u8(0).u8(1).u16(0).u32(0).u32(0).u16(0x0800);  // AppInfoPlayList: SDR conversion notification
  f.add(list.b).add(marks.b).add(extensionBlock(3, 5, meta.b));
  return f.b;
}

Bytes clipInfoFile() {
  auto stream = [](Buf& f, uint16_t pid, const Bytes& info) {
    f.u16(pid).u8(uint32_t(info.size())).add(info);
  };
  Buf video;
  video.u8(0x24).u8(0x81).u8(0x31).u8(0x12).u8(0x80).text("USABC2400001", 12).zeros(4);
  Buf audio;
  audio.u8(0x83).u8(0x61).text("eng", 3).zeros(12).zeros(4);

  Buf f;
  f.text("HDMV", 4).text("0300", 4);
  f.u32(220).u32(246).u32(308).u32(312).u32(0).zeros(12);
  // ClipInfo
  f.u32(176).u16(0).u8(1).u8(1).u32(0).u32(109000000 / 8).u32(123456).zeros(128);
  f.u16(30).u8(0x80).text("HDMV", 4).zeros(9 + 16);
  // SequenceInfo: one ATC sequence holding one STC sequence
  f.u32(22).u8(0).u8(1).u32(0).u8(1).u8(0).u16(0x1001).u32(0).u32(0x0ABCDE).u32(0x0ABCDE + 2700000);
  // ProgramInfo
  f.u32(58).u8(0).u8(1).u32(0).u16(0x0100).u8(2).u8(0);
  stream(f, 0x1011, video.b);
  stream(f, 0x1100, audio.b);
  f.u32(0);  // CPI
  f.u32(0);  // ClipMark
  return f.b;
}

void writeDisc(const std::filesystem::path& root) {
  namespace fs = std::filesystem;
  const fs::path bdmv = root / "BDMV";
  for (const char* d : {"PLAYLIST", "CLIPINF", "STREAM", "BACKUP"}) fs::create_directories(bdmv / d);
  auto put = [](const fs::path& p, const Bytes& b) {
    std::ofstream o(p, std::ios::binary);
    o.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
  };
  put(bdmv / "index.bdmv", indexFile());
  put(bdmv / "MovieObject.bdmv", movieObjectFile());
  put(bdmv / "PLAYLIST" / "00000.mpls", playlistFile());
  put(bdmv / "CLIPINF" / "00000.clpi", clipInfoFile());
  put(bdmv / "STREAM" / "00000.m2ts", {});
  put(bdmv / "BACKUP" / "index.bdmv", indexFile());
  put(bdmv / "BACKUP" / "MovieObject.bdmv", movieObjectFile());
  fs::create_directories(bdmv / "BACKUP" / "PLAYLIST");
  fs::create_directories(bdmv / "BACKUP" / "CLIPINF");
  put(bdmv / "BACKUP" / "PLAYLIST" / "00000.mpls", playlistFile());
  put(bdmv / "BACKUP" / "CLIPINF" / "00000.clpi", clipInfoFile());
}

}  // namespace morvex::test::uhd
