#include <gtest/gtest.h>

#include "core/binary.h"
#include "core/extension_data.h"

using namespace morvex::core;

TEST(Reader, BigEndianFieldsOfEveryWidth) {
  Bytes b{0x12, 0x34, 0x49, 0x4E, 0x44, 0x58, 0x01, 0x02, 0x03, 0x04, 0x05, 0xAB, 0xCD, 0xEF};
  Reader r(b);
  EXPECT_EQ(r.readU16(), 0x1234);
  EXPECT_EQ(r.readU32(), 0x494E4458u);
  EXPECT_EQ(r.readU40(), 0x0102030405ull);
  EXPECT_EQ(r.readU24(), 0xABCDEFu);
  EXPECT_TRUE(r.atEnd());
  EXPECT_FALSE(r.overrun());
}

TEST(Reader, ReadPastTheEndYieldsZeroAndMarksTheReader) {
  Bytes b{0xFF, 0xEE};
  Reader r(b);
  EXPECT_EQ(r.readU8(), 0xFF);
  EXPECT_FALSE(r.overrun());
  // One byte left: a 4-byte read takes it and pads with zeros.
  EXPECT_EQ(r.readU32(), 0xEE000000u);
  EXPECT_TRUE(r.overrun());
  EXPECT_EQ(r.readU16(), 0);
  EXPECT_EQ(r.remaining(), 0u);
}

TEST(Reader, StringsAreCutAtTheFirstNul) {
  Bytes mobj{'M', 'O', 'B', 'J'};
  EXPECT_EQ(Reader(mobj).readString(4), "MOBJ");
  Bytes trailing{'0', '0', '0', '0', 0};
  Reader r1(trailing);
  EXPECT_EQ(r1.readString(5), "0000");
  EXPECT_EQ(r1.pos(), 5u);
  Bytes leading{0, 'A', 'B', 'C', 'D'};
  Reader r2(leading);
  EXPECT_EQ(r2.readString(5), "");
  EXPECT_EQ(r2.pos(), 5u);  // the whole field is consumed
  Bytes middle{'A', 0, 'B'};
  EXPECT_EQ(Reader(middle).readString(3), "A");
}

TEST(Reader, StringPastTheEndIsPaddedWithSpaces) {
  Bytes b{'A', 'B'};
  Reader r(b);
  EXPECT_EQ(r.readString(4), "AB  ");
  EXPECT_TRUE(r.overrun());
}

TEST(Reader, HugeSkipDoesNotWrapThePosition) {
  Bytes b{1, 2, 3};
  Reader r(b);
  r.skip(2);
  r.skip(SIZE_MAX);
  EXPECT_TRUE(r.overrun());
  EXPECT_EQ(r.remaining(), 0u);
  EXPECT_EQ(r.readU8(), 0);
  EXPECT_TRUE(r.readBytes(10).empty());
}

TEST(ByteWriter, PutStringPadsAndCuts) {
  ByteWriter w;
  w.putString("12345", 0, 5);
  EXPECT_EQ(w.bytes(), (Bytes{'1', '2', '3', '4', '5'}));
  ByteWriter w2;
  w2.addU8(0xFF);
  w2.putString("AB", 1, 5);
  EXPECT_EQ(w2.bytes(), (Bytes{0xFF, 'A', 'B', 0, 0, 0}));
  ByteWriter w3;
  w3.addString("ABCDEFG", 3);
  w3.addU16(0x0102);
  EXPECT_EQ(w3.bytes(), (Bytes{'A', 'B', 'C', 1, 2}));
}

TEST(ByteWriter, PutOverwritesInPlaceAndAddAppends) {
  ByteWriter w;
  w.addU32(0);
  w.addU24(0x0A0B0C);
  w.addU40(0x0102030405ull);
  w.putU32(0xDEADBEEF, 0);
  w.putU16(0x7788, 1);
  EXPECT_EQ(w.bytes(), (Bytes{0xDE, 0x77, 0x88, 0xEF, 0x0A, 0x0B, 0x0C, 1, 2, 3, 4, 5}));
  EXPECT_EQ(w.length(), 12u);
}

TEST(extensionData, RoundTripZeroesOnlyTheReservedBytes) {
  Bytes block{0, 0, 0, 30,            // length: bytes after this field
              0, 0, 0, 24,            // data block start address
              0xAA, 0xBB, 0xCC,       // reserved (nonzero on purpose)
              1,                      // one entry
              0x00, 0x01, 0x00, 0x02, 0, 0, 0, 24, 0, 0, 0, 10,
              1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  Reader r(block);
  ExtensionData ed;
  readExtensionData(r, ed);
  EXPECT_FALSE(r.overrun());
  ASSERT_EQ(ed.entries.size(), 1u);
  EXPECT_EQ(ed.entries[0].id1, 1);
  EXPECT_EQ(ed.entries[0].id2, 2);
  EXPECT_EQ(ed.entries[0].startAddress, 24u);
  EXPECT_EQ(ed.data.size(), 10u);
  EXPECT_EQ(extensionDataCaption(ed), "1 entry, 34 bytes");

  ByteWriter w;
  writeExtensionData(w, ed);
  Bytes expect = block;
  expect[8] = expect[9] = expect[10] = 0;
  EXPECT_EQ(w.bytes(), expect);
}

TEST(extensionData, EmptyAndZeroLengthBlocks) {
  ExtensionData ed;
  EXPECT_EQ(extensionDataCaption(ed), "no ExtensionData()");
  ByteWriter w;
  writeExtensionData(w, ed);
  EXPECT_EQ(w.bytes(), (Bytes{0, 0, 0, 0}));
  ByteWriter full;
  writeExtensionDataFullHead(full, ed);
  EXPECT_EQ(full.bytes().size(), 12u);

  Bytes zero{0, 0, 0, 0, 9, 9};
  Reader r(zero);
  readExtensionData(r, ed);
  EXPECT_TRUE(ed.empty());
  EXPECT_EQ(r.pos(), 4u);
}

TEST(extensionData, SummaryPluralAndTruncatedEntryTable) {
  ExtensionData ed;
  ed.length = 1230;
  ed.entries.resize(2);
  EXPECT_EQ(extensionDataCaption(ed), "2 entries, 1234 bytes");

  // Claims 200 entries but the image ends after one: the read stops, marked overrun.
  Bytes b{0, 0, 0, 100, 0, 0, 0, 12, 0, 0, 0, 200, 0, 1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0};
  Reader r(b);
  readExtensionData(r, ed);
  EXPECT_EQ(ed.entries.size(), 1u);
  EXPECT_TRUE(r.overrun());
}
