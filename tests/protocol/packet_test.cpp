#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/checksum.h"
#include "protocol/cipher.h"
#include "protocol/packet.h"

namespace {

const std::string kCipherKey("plomvex739ra\0", 13);
const std::string kChecksumKey("kotiv584w2\0", 11);

std::span<const std::uint8_t> Bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(PacketSetters, ClipToTheirFields) {
  struct Case { std::size_t given, kept; };
  packet p;
  for (auto [given, kept] : {Case{30, 24}, Case{24, 24}, Case{0, 0}}) {
    PacketSetNumber(p, std::string(given, '7'));
    EXPECT_EQ(p.number(), std::string(kept, '7'));
    EXPECT_EQ(p.raw()[kNumberOffset + 24], 0);
  }
  for (auto [given, kept] : {Case{19, 19}, Case{20, 19}, Case{40, 19}}) {
    PacketSetDate(p, std::string(given, 'd'));
    EXPECT_EQ(p.date(), std::string(kept, 'd'));
    EXPECT_EQ(p.raw()[kDateOffset + 19], 0);
  }
  EXPECT_EQ(p.length(), 0);  // only the text setter touches length and checksum
}

TEST(PacketSetters, TextSetsLengthAndChecksum) {
  packet p;
  PacketInit(p);
  PacketSetText(p, std::string(1024, 'x'));
  EXPECT_EQ(p.length(), 1024);
  EXPECT_EQ(p.text().size(), 1024u);  // full field, no terminator, nothing beyond it read
  EXPECT_TRUE(PacketVerify(p));

  PacketSetText(p, std::string(1500, 'y'));
  EXPECT_EQ(p.length(), 1024);
  EXPECT_EQ(p.text(), std::string(1024, 'y'));

  PacketSetText(p, "");
  EXPECT_EQ(p.length(), 0);
  EXPECT_EQ(p.checksum(), 0u);
  for (auto b : p.text_field()) ASSERT_EQ(b, 0);
}

TEST(PacketRecord, FieldsLieAtTheirOffsetsLittleEndian) {
  packet p;
  PacketInit(p);
  p.set_type(5);
  p.set_length(0x0304);
  p.set_checksum(0xA1B2C3D4);
  const auto raw = p.raw();
  EXPECT_EQ(raw[45], 5);
  EXPECT_EQ(raw[46], 0x04);
  EXPECT_EQ(raw[47], 0x03);
  EXPECT_EQ(raw[48], 0xD4);
  EXPECT_EQ(raw[51], 0xA1);
  EXPECT_EQ(sizeof(packet), kPacketSize);
}

TEST(PacketRecord, ReadersStopAtFieldEndsWhateverTheBytesHold) {
  packet p;
  for (auto& b : p.raw()) b = 'Z';
  EXPECT_EQ(p.number().size(), kNumberSize);
  EXPECT_EQ(p.date().size(), kDateSize);
  EXPECT_EQ(p.text().size(), kTextSize);
}

TEST(PacketInit, LeavesTextAndVerifies) {
  packet p;
  for (auto& b : p.raw()) b = 0xEE;
  PacketInit(p);
  EXPECT_EQ(p.number(), "");
  EXPECT_EQ(p.date(), "");
  EXPECT_EQ(p.type(), 0);
  EXPECT_EQ(p.text_field()[0], 0xEE);
  EXPECT_TRUE(PacketVerify(p));
}

TEST(PacketVerify, FailsOnAnyBitFlipInsideLengthOnly) {
  packet p;
  PacketInit(p);
  PacketSetText(p, "Привет, мир: 0123456789");
  const std::size_t length = p.length();
  for (std::size_t i = 0; i < length; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      packet q = p;
      q.text_field()[i] ^= static_cast<std::uint8_t>(1 << bit);
      ASSERT_FALSE(PacketVerify(q)) << "byte " << i << " bit " << bit;
    }
  }
  packet after = p;
  after.text_field()[length + 1] ^= 0xFF;
  EXPECT_TRUE(PacketVerify(after));
}

TEST(EncodeBuffer, PositionTermAndKeyCycle) {
  std::vector<std::uint8_t> zeros(200, 0);
  EncodeBuffer(zeros);
  for (std::size_t i = 0; i < 13; ++i)
    EXPECT_EQ(zeros[i], static_cast<std::uint8_t>(2 * i + static_cast<std::uint8_t>(kCipherKey[i])));
  EXPECT_EQ(zeros[13], static_cast<std::uint8_t>(26 + 'p'));
  // At i = 128 the position term wraps to 0: only the key byte remains.
  EXPECT_EQ(zeros[128], static_cast<std::uint8_t>(kCipherKey[128 % 13]));
  EXPECT_EQ(zeros[12], 24);  // the key's zero byte is part of the cycle
}

TEST(EncodeBuffer, IsItsOwnInverseOverARecord) {
  packet p;
  for (std::size_t i = 0; i < kPacketSize; ++i) p.raw()[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const packet before = p;
  EncodeBuffer(p.raw());
  EXPECT_NE(p, before);
  EncodeBuffer(p.raw());
  EXPECT_EQ(p, before);
}

TEST(PacketChecksum, SignExtendsAndKeepsGrowingPosition) {
  EXPECT_EQ(PacketChecksum({}), 0u);
  // One byte 0xC1 at position 0: (C[0] + 0) XOR 0xFFFFFFC1.
  const std::uint8_t c1[] = {0xC1};
  EXPECT_EQ(PacketChecksum(c1), static_cast<std::uint32_t>('k') ^ 0xFFFFFFC1u);
  // At i = 200 the position term is 400, not 400 mod 256.
  std::vector<std::uint8_t> data(201, 0);
  std::uint32_t expected = 0;
  for (std::uint32_t i = 0; i < data.size(); ++i)
    expected += static_cast<std::uint8_t>(kChecksumKey[i % 11]) + 2 * i;
  EXPECT_EQ(PacketChecksum(data), expected);
  EXPECT_EQ(PacketChecksum(Bytes("a")), static_cast<std::uint32_t>('k' ^ 'a'));
}

}  // namespace
