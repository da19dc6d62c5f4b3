#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/registry.h"
#include "server/modem/message_ref.h"
#include "tests/support/temp_dir.h"

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Trelm\\SMSConfig";

class MessageRefTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.File("registry.reg");
  MessageRefCounter counter{file};

  void Store(std::int32_t value) {
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteInteger("MessageRef", value);
  }
  std::optional<std::int32_t> Stored() const {
    TRegistry reg(file);
    if (!reg.OpenKeyReadOnly(kKey) || reg.GetDataType("MessageRef") != RegDataType::Integer) return std::nullopt;
    return reg.ReadInteger("MessageRef");
  }
};

int RefValue(const std::string& ref) {
  EXPECT_EQ(ref.size(), 2u);
  return std::stoi(ref, nullptr, 16);
}

TEST_F(MessageRefTest, CountsOnFromTheStoredValue) {
  const struct {
    std::int32_t stored;
    std::string ref;
  } cases[] = {{255, "01"}, {-3, "01"}, {7, "08"}, {0, "01"}, {254, "FF"}, {9, "0A"}};
  for (const auto& c : cases) {
    Store(c.stored);
    EXPECT_EQ(counter.NextMessageRef(), c.ref) << c.stored;
    EXPECT_EQ(Stored(), RefValue(c.ref)) << c.stored;
  }
  EXPECT_EQ(counter.NextMessageRef(), "0B");
  EXPECT_EQ(Stored(), 11);
}

TEST_F(MessageRefTest, WithoutAStoredValueStartsAtRandomAndStoresIt) {
  const int ref = RefValue(counter.NextMessageRef());  // no file, no key
  EXPECT_GE(ref, 2);
  EXPECT_LE(ref, 253);
  EXPECT_EQ(Stored(), ref);
}

TEST_F(MessageRefTest, AValueOfAnotherTypeIsLeftAlone) {
  {
    TRegistry reg(file);
    ASSERT_TRUE(reg.OpenKey(kKey, true));
    reg.WriteString("MessageRef", "seven");
  }
  const int ref = RefValue(counter.NextMessageRef());
  EXPECT_GE(ref, 1);
  EXPECT_LE(ref, 252);
  TRegistry reg(file);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kKey));
  EXPECT_EQ(reg.ReadString("MessageRef"), "seven");
}

TEST_F(MessageRefTest, AnUnusableRegistryStillGivesAReference) {
  const int ref = RefValue(MessageRefCounter(dir.File("missing/folder/registry.reg")).NextMessageRef());
  EXPECT_GE(ref, 1);
  EXPECT_LE(ref, 252);
}

}  // namespace
