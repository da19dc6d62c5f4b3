#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/checksum.h"
#include "protocol/cipher.h"
#include "protocol/packet.h"

namespace {

// Bytes written out as hexadecimal digits, spaces between them allowed.
std::vector<std::uint8_t> Hex(std::string_view digits) {
  std::vector<std::uint8_t> out;
  std::string pair;
  for (char c : digits) {
    if (c == ' ') continue;
    pair += c;
    if (pair.size() == 2) {
      out.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
      pair.clear();
    }
  }
  return out;
}

template <std::size_t N>
std::vector<std::uint8_t> Slice(std::span<const std::uint8_t, N> bytes, std::size_t from, std::size_t count) {
  return {bytes.begin() + from, bytes.begin() + from + count};
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
}

// A message as the peers exchange it, written out byte by byte: the plain record
// (as it lies in the message files) and its enciphered form on the wire.
TEST(PacketRecord, AMessageMatchesTheRecordWrittenOut) {
  packet p;
  PacketInit(p);
  p.set_type(kPacketMessage);
  PacketSetNumber(p, "+79161234567");
  PacketSetDate(p, "09.12.2026 10:00:00");
  PacketSetText(p, "\xCF\xF0\xE8\xE2\xE5\xF2");  // "Привет" in Windows-1251
  ASSERT_EQ(p.raw().size(), 1076u);
  const std::span<const std::uint8_t, kPacketSize> plain = p.raw();
  EXPECT_EQ(Slice(plain, 0, 60),
            Hex("2b373931363132333435363700000000000000000000000000"  // number, 25 bytes
                "30392e31322e323032362031303a30303a303000"            // date, 20 bytes
                "01 0600 aafdffff"                                    // type, length, checksum
                "cff0e8e2e5f20000"));                                 // text
  packet wire = p;
  EncodeBuffer(wire.raw());
  const std::span<const std::uint8_t, kPacketSize> sent = wire.raw();
  EXPECT_EQ(Slice(sent, 0, 60),
            Hex("5b594a42485eb676777eb040188a888d8d98899e5f5d65a09102"
                "9d8c96959c91884b415f8b9b768e8cfbf1fcbdd3959133293a99"
                "172633390325ecad"));
  EXPECT_EQ(Slice(sent, 1070, 6), Hex("d2c3d899979f"));
}

TEST(PacketRecord, ReadersStopAtFieldEndsWhateverTheBytesHold) {
  packet p;
  for (auto& b : p.raw()) b = 'Z';
  EXPECT_EQ(p.number().size(), 25u);
  EXPECT_EQ(p.date().size(), 20u);
  EXPECT_EQ(p.text().size(), 1024u);
}

// Only the bytes the checksum covers are the text: what lies after them in the
// field, whatever it holds, is never read.
TEST(PacketRecord, TheTextIsTheFirstLengthBytes) {
  packet padded;
  PacketInit(padded);
  PacketSetText(padded, "meet at 5");
  padded.text_field()[9] = '0';
  EXPECT_EQ(padded.text(), "meet at 5");

  packet hidden;
  PacketInit(hidden);
  const std::string_view behind = "sent without being counted";
  std::copy(behind.begin(), behind.end(), hidden.text_field().begin());
  ASSERT_TRUE(PacketVerify(hidden));  // length 0, checksum 0
  EXPECT_EQ(hidden.text(), "");

  packet shorter = padded;
  shorter.set_length(4);
  EXPECT_EQ(shorter.text(), "meet");
  shorter.text_field()[2] = 0;
  EXPECT_EQ(shorter.text(), "me");  // a zero inside ends it as well
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

// A length past the 1024-byte text is a broken record, even when the checksum
// matches the whole text it would otherwise be cut to.
TEST(PacketVerify, ALengthPastTheTextFails) {
  packet p;
  PacketInit(p);
  PacketSetText(p, std::string(kTextSize, 'x'));
  EXPECT_TRUE(PacketVerify(p));
  for (const std::uint16_t length : {1025, 2048, 65535}) {
    packet q = p;
    q.set_length(length);
    EXPECT_FALSE(PacketVerify(q)) << length;
  }
}

TEST(EncodeBuffer, PositionTermAndKeyCycle) {
  std::vector<std::uint8_t> zeros(200, 0);
  EncodeBuffer(zeros);
  // Byte 12 is the key's zero byte plus 24; byte 13 starts the key again.
  EXPECT_EQ(std::vector<std::uint8_t>(zeros.begin(), zeros.begin() + 14),
            Hex("706e73737e6f8445434b8677188a"));
  // At 128 the position term wraps to 0: only the key byte 'a' remains.
  EXPECT_EQ(zeros[128], 0x61);
  EXPECT_EQ(zeros[129], 0x02);

  // The users list's example in the README: "sms2026" as stored for "operator".
  std::vector<std::uint8_t> password = {'s', 'm', 's', '2', '0', '2', '6'};
  EncodeBuffer(password);
  EXPECT_EQ(password, Hex("0303 00 41 4e 5d b2"));
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
  struct Case {
    const char* name;
    std::vector<std::uint8_t> text;
    std::uint32_t sum;
  };
  const Case cases[] = {
      {"empty", {}, 0},
      {"one ASCII byte", Hex("61"), 0x0000000A},
      {"0xC1 widened as a signed byte", Hex("c1"), 0xFFFFFFAA},
      {"Cyrillic text", Hex("cff0e8e2e5f2"), 0xFFFFFDAA},
      // The position term goes on growing past 255 (400 at the last byte).
      {"201 zero bytes", std::vector<std::uint8_t>(201, 0), 0x0000DCB4},
      // Past the 1024 bytes of a text field as well.
      {"1100 bytes, every third 0xC1, else 'A'", [] {
         std::vector<std::uint8_t> text(1100, 0x41);
         for (std::size_t i = 0; i < text.size(); i += 3) text[i] = 0xC1;
         return text;
       }(), 0x00069824},
  };
  for (const auto& c : cases) EXPECT_EQ(PacketChecksum(c.text), c.sum) << c.name;
}

}  // namespace
