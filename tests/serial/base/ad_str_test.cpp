#include <gtest/gtest.h>

#include "serial/base/ad_str.h"

namespace {

TEST(AdStr, AppendGrowsAndPositionsCountFromOne) {
  TAdStr s(4);
  EXPECT_EQ(s.GetMaxLen(), 4);
  EXPECT_EQ(s.GetBuffLen(), 5);
  EXPECT_EQ(s.Append("AT+"), 3);
  EXPECT_EQ(s.AppendBuff("CMGL=4"), 9);
  EXPECT_EQ(s.GetMaxLen(), 9);
  TAdStr tail(0);
  tail.Append("\r");
  EXPECT_EQ(s.AppendTAdStr(tail), 10);
  EXPECT_EQ(s.Str(), "AT+CMGL=4\r");
  EXPECT_EQ(s.Copy(4, 4), "CMGL");
  EXPECT_EQ(s.Copy(9, 100), "4\r");
  EXPECT_EQ(s.Copy(0, 3), "");
  EXPECT_EQ(s.Copy(11, 1), "");
  EXPECT_EQ(s.GetChar(0), 'A');
  EXPECT_EQ(s.GetChar(10), '\0');
  s.SetChar(2, '#');
  s.SetChar(50, '#');
  EXPECT_EQ(s.Str(), "AT#CMGL=4\r");
}

TEST(AdStr, InsertPrependAndDeleteStayInsideTheText) {
  TAdStr s(10);
  s.Prepend("world");  // onto an empty text: nothing is lost
  EXPECT_EQ(s.Str(), "world");
  s.Prepend("hello ");
  EXPECT_EQ(s.Str(), "hello world");
  s.Insert("!", s.GetLen() + 1);  // at the end
  EXPECT_EQ(s.Str(), "hello world!");
  s.Insert("?", 0);
  s.Insert("?", s.GetLen() + 2);
  s.Insert("", 3);
  EXPECT_EQ(s.Str(), "hello world!");
  s.Delete(6, 100);
  EXPECT_EQ(s.Str(), "hello");
  s.Delete(0, 2);
  s.Delete(2, 0);
  s.Delete(9, 1);
  EXPECT_EQ(s.Str(), "hello");
  s.Delete(1, 1);
  EXPECT_EQ(s.Str(), "ello");
}

TEST(AdStr, CursorSearchAndMoves) {
  TAdStr s(0);
  s.Append("OK\r\nERROR\r\nOK\r\n");
  EXPECT_EQ(s.Pos("ERROR"), 5);
  EXPECT_EQ(s.GetCurChar(), 'E');
  EXPECT_EQ(s.PosIdx("OK", 2), 12);
  EXPECT_EQ(s.Pos("BUSY"), 0);
  EXPECT_EQ(s.GetCurChar(), 'O');  // stays on the last match
  EXPECT_EQ(s.PosIdx("OK", 0), 0);
  EXPECT_EQ(s.PosIdx("OK", 99), 0);
  s.First();
  EXPECT_EQ(s.GetCurChar(), 'O');
  s.Next();
  EXPECT_EQ(s.GetCurChar(), 'K');
  s.Last();
  EXPECT_EQ(s.GetCurChar(), '\n');
  s.MoveBy(1000);
  EXPECT_EQ(s.GetCurChar(), '\0');  // past the end, not beyond the text
  s.MoveBy(-1000);
  EXPECT_EQ(s.GetCurChar(), 'O');
  s.Prev();
  EXPECT_EQ(s.GetCurChar(), 'O');
  s.GotoPos(5);
  EXPECT_EQ(s.GetCurChar(), 'E');

  TAdStr copy(3);
  copy.Assign(s);
  EXPECT_EQ(copy.Str(), s.Str());
  EXPECT_EQ(copy.GetMaxLen(), s.GetMaxLen());
  EXPECT_EQ(copy.GetCurChar(), 'E');
}

TEST(AdStr, LengthAndCapacityChangesKeepTheTextThatFits) {
  TAdStr s(0);
  s.Append("abcdef");
  s.SetLen(100);  // beyond the text: the text stays whole
  EXPECT_EQ(s.GetLen(), 6);
  EXPECT_EQ(s.Str(), "abcdef");
  s.SetLen(4);
  EXPECT_EQ(s.Str(), "abcd");
  s.Resize(4);  // as many characters as the capacity holds are kept
  EXPECT_EQ(s.Str(), "abcd");
  s.Resize(2);
  EXPECT_EQ(s.Str(), "ab");
  EXPECT_EQ(s.GetMaxLen(), 2);
  s.Last();
  s.SetMaxLen(8);
  EXPECT_EQ(s.GetLen(), 0);
  EXPECT_EQ(s.GetMaxLen(), 8);
  EXPECT_EQ(s.GetCurChar(), '\0');
  s.Append("x");
  s.Clear();
  EXPECT_EQ(s.Str(), "");
}

}  // namespace
