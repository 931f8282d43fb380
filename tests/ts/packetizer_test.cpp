// The packetizer shared by the menu muxer and the stream generator: packet layout,
// continuity counters, stuffing, program tables, PCR, arrival stamps, and PES packets
// found again by the demultiplexer.
#include <gtest/gtest.h>

#include <algorithm>

#include "ts/demux.h"
#include "ts/packet.h"
#include "ts/packetizer.h"

using namespace morvex;
using namespace morvex::ts;
using Bytes = std::vector<uint8_t>;

namespace {

const uint8_t* packetAt(const Bytes& out, size_t n) { return out.data() + n * kSourcePacketSize + kExtraHeaderSize; }

uint32_t stampAt(const Bytes& out, size_t n) {
  const uint8_t* p = out.data() + n * kSourcePacketSize;
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Cuts one PES packet whole; returns the number of transport packets.
size_t cut(Packetizer& pk, uint16_t pid, const Bytes& pes, bool randomAccess = false) {
  size_t pos = 0, n = 0;
  while (pos < pes.size()) {
    pos += pk.payload(pid, pes.data() + pos, pes.size() - pos, pos == 0, pos == 0 && randomAccess);
    ++n;
  }
  return n;
}

Bytes pesPacket(size_t payload, uint8_t fill) {
  const size_t len = 3 + 5 + payload;
  Bytes b = {0, 0, 1, 0xBD, uint8_t(len >> 8), uint8_t(len), 0x81, 0x80, 5, 0x21, 0x00, 0x01, 0x00, 0x01};
  for (size_t i = 0; i < payload; ++i) b.push_back(uint8_t(fill + i));
  return b;
}

}  // namespace

TEST(Packetizer, CutsEveryLengthIntoWholePacketsWithStuffingBeforeTheLastPayload) {
  for (size_t len = 1; len <= 3 * kTsPayloadSize + 2; ++len) {
    Bytes data(len);
    for (size_t i = 0; i < len; ++i) data[i] = uint8_t(i * 7 + 1);
    Bytes out;
    Packetizer pk(out, {});
    const size_t n = cut(pk, 0x1400, data);
    ASSERT_EQ(n, (len + kTsPayloadSize - 1) / kTsPayloadSize) << len;
    ASSERT_EQ(out.size(), n * kSourcePacketSize);
    EXPECT_EQ(pk.packets(), n);
    Bytes back;
    for (size_t k = 0; k < n; ++k) {
      const uint8_t* tp = packetAt(out, k);
      ASSERT_EQ(tp[0], kSyncByte);
      EXPECT_EQ(packetPid(tp), 0x1400);
      EXPECT_EQ(payloadUnitStart(tp), k == 0);
      EXPECT_TRUE(hasPayload(tp));
      EXPECT_EQ(continuityCounter(tp), k & 15);
      size_t af = 0;
      if (hasAdaptationField(tp)) {
        af = 1 + tp[4];
        if (af >= 2) EXPECT_EQ(tp[5], 0x00) << "flags byte, len " << len;
        for (size_t i = 2; i < af; ++i) ASSERT_EQ(tp[4 + i], 0xFF) << "stuffing, len " << len;
      }
      EXPECT_EQ(af != 0, k == n - 1 && len % kTsPayloadSize != 0) << len;
      back.insert(back.end(), tp + kTsHeaderSize + af, tp + kTsPacketSize);
    }
    ASSERT_EQ(back, data) << len;
  }
}

TEST(Packetizer, RandomAccessGivesTheFirstPacketAnAdaptationField) {
  Bytes data(500, 0xAB), out;
  Packetizer pk(out, {});
  EXPECT_EQ(cut(pk, 0x1011, data, true), 3u);  // 182 + 184 + 134
  const uint8_t* tp = packetAt(out, 0);
  EXPECT_TRUE(hasAdaptationField(tp));
  EXPECT_EQ(tp[4], 1);     // length: the flags byte
  EXPECT_EQ(tp[5], 0x40);  // random_access_indicator
  EXPECT_EQ(tp[6], 0xAB);
  EXPECT_FALSE(hasAdaptationField(packetAt(out, 1)));
  EXPECT_EQ(packetAt(out, 2)[4], 184 - 134 - 1);
}

TEST(Packetizer, SectionsPcrAndNullPackets) {
  Bytes out;
  Packetizer pk(out, {});
  const uint8_t section[] = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00, 1, 2, 3, 4};
  pk.section(kPatPid, section);
  pk.section(kPatPid, section);
  pk.pcr(0x1001, 0x1ABCDEF01ull);
  pk.pcr(0x1001, 0);
  pk.null();
  ASSERT_EQ(pk.packets(), 5u);

  for (size_t k = 0; k < 2; ++k) {
    const uint8_t* tp = packetAt(out, k);
    EXPECT_TRUE(payloadUnitStart(tp));
    EXPECT_EQ(packetPid(tp), kPatPid);
    EXPECT_EQ(tp[3], 0x10 | k);  // payload only, counter advancing
    EXPECT_EQ(tp[4], 0);         // pointer field
    EXPECT_TRUE(std::equal(std::begin(section), std::end(section), tp + 5));
    for (size_t i = 5 + sizeof section; i < kTsPacketSize; ++i) ASSERT_EQ(tp[i], 0xFF);
  }

  const uint8_t* pcr = packetAt(out, 2);
  EXPECT_FALSE(payloadUnitStart(pcr));
  EXPECT_EQ(packetPid(pcr), 0x1001);
  EXPECT_EQ(pcr[3], 0x20);  // adaptation only
  EXPECT_EQ(pcr[4], 183);
  EXPECT_EQ(pcr[5], 0x10);  // PCR flag
  const uint64_t base = uint64_t(pcr[6]) << 25 | uint64_t(pcr[7]) << 17 | uint64_t(pcr[8]) << 9 |
                        uint64_t(pcr[9]) << 1 | pcr[10] >> 7;
  EXPECT_EQ(base, 0x1ABCDEF01ull);
  EXPECT_EQ(pcr[10] & 0x7E, 0x7E);
  EXPECT_EQ(packetAt(out, 3)[3], 0x20) << "a PCR packet does not advance the counter";
  for (size_t i = 12; i < kTsPacketSize; ++i) ASSERT_EQ(pcr[i], 0xFF);

  const uint8_t* null = packetAt(out, 4);
  EXPECT_EQ(packetPid(null), kNullPid);
  EXPECT_EQ(null[3], 0x10);
  for (size_t i = 4; i < kTsPacketSize; ++i) ASSERT_EQ(null[i], 0xFF);
}

TEST(Packetizer, KeepsOneContinuityCounterPerPid) {
  Bytes out, one(10, 1);
  Packetizer pk(out, {});
  for (int i = 0; i < 20; ++i) {
    pk.payload(0x1100, one.data(), one.size(), true);
    pk.payload(0x1200, one.data(), one.size(), true);
  }
  for (size_t k = 0; k < 40; ++k) EXPECT_EQ(continuityCounter(packetAt(out, k)), (k / 2) & 15);
}

TEST(Packetizer, StampsPacketsFromItsArrivalClock) {
  Bytes out;
  Packetizer pk(out, {0x3FFFFF00, 0x80, true});
  for (int i = 0; i < 4; ++i) pk.null();
  EXPECT_EQ(stampAt(out, 0), 0x3FFFFF00u);
  EXPECT_EQ(stampAt(out, 1), 0x3FFFFF80u);
  EXPECT_EQ(stampAt(out, 2), 0x00000000u) << "the 30-bit stamp wraps; copy permission stays 0";
  EXPECT_EQ(stampAt(out, 3), 0x00000080u);

  Bytes raw;
  Packetizer whole(raw, {0x3FFFFF80, 0x80, false});
  whole.null();
  whole.null();
  EXPECT_EQ(stampAt(raw, 1), 0x40000000u) << "without wrap the sum fills the whole header";
}

TEST(Packetizer, TheDemultiplexerFindsThePesPacketsAgain) {
  Bytes out;
  Packetizer pk(out, {0, 864, true});
  const uint8_t pat[] = {0x00, 0xB0, 0x0D, 0x00, 0x01, 0xC1, 0x00, 0x00, 0x00, 0x01, 0xE1, 0x00, 1, 2, 3, 4};
  pk.section(kPatPid, pat);
  pk.pcr(0x1001, 900000);
  Bytes elementary;
  for (size_t i = 0; i < 40; ++i) {
    const size_t payload = (i * 97) % 700 + 1;
    Bytes pes = pesPacket(payload, uint8_t(i));
    elementary.insert(elementary.end(), pes.begin() + 14, pes.end());
    cut(pk, 0x1400, pes);
    if (i % 7 == 0) pk.null();
  }
  Bytes got;
  PidDemuxer d(0x1400, DemuxMode::Elementary, [&](const uint8_t* p, size_t n) {
    got.insert(got.end(), p, p + n);
    return true;
  });
  ASSERT_TRUE(d.feed(out.data(), out.size() / kSourcePacketSize));
  ASSERT_TRUE(d.flush());
  EXPECT_EQ(got, elementary);
  EXPECT_EQ(d.lostSync(), 0u);
  EXPECT_EQ(d.damagedPes(), 0u);
  EXPECT_FALSE(d.endedInsidePes());
}
