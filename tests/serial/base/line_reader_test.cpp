#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "serial/base/line_reader.h"

namespace {

std::vector<std::string> ReadAll(std::string bytes) {
  TLineReader reader(std::make_unique<TMemoryStream>(std::move(bytes)));
  std::vector<std::string> lines;
  while (!reader.Eof()) lines.push_back(reader.NextLine());
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, SplitsAtCarriageReturnsWithOptionalLineFeeds) {
  EXPECT_EQ(ReadAll("one\r\ntwo\rthree"), (Lines{"one", "two", "three"}));
  EXPECT_EQ(ReadAll("a\nb\r\n"), (Lines{"a\nb"}));  // a lone line feed is text
  EXPECT_EQ(ReadAll("\r\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(ReadAll(""), Lines{});
  EXPECT_EQ(ReadAll("last\r\n\x1A"), (Lines{"last"}));  // ^Z ends the text
}

TEST(LineReader, PageBoundariesLoseNothing) {
  const std::string first(4095, 'x');
  // A CR/LF pair split between two pages counts once.
  EXPECT_EQ(ReadAll(first + "\r\nnext\r\n"), (Lines{first, "next"}));
  // A line feed that opens a page after a line that did not end there is text.
  const std::string full(4096, 'y');
  EXPECT_EQ(ReadAll(full + "\nmore"), (Lines{full + "\nmore"}));
  const std::string line(5000, 'z');
  EXPECT_EQ(ReadAll(line + "\r" + line), (Lines{line, line}));
  // The pair split so that only its line feed is left for the last page.
  EXPECT_EQ(ReadAll(first + "\r\n"), (Lines{first}));
}

TEST(LineReader, ZeroBytesAndEndMarksInsideAPageAreOrdinaryCharacters) {
  const std::string with_zero("a\0b\r\nc", 6);
  EXPECT_EQ(ReadAll(with_zero), (Lines{std::string("a\0b", 3), "c"}));
  EXPECT_EQ(ReadAll("a\x1A" "b\r\n"), (Lines{"a\x1A" "b"}));
}

TEST(LineReader, AnEndMarkThatClosesAnyPageIsDropped) {
  const std::string body(4095, 'q');
  EXPECT_EQ(ReadAll(body + "\x1A" "tail"), (Lines{body + "tail"}));
  EXPECT_EQ(ReadAll(body + "\x1A" "\r\nnext"), (Lines{body, "next"}));
}

}  // namespace
