#include "fwbase_test_plug.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

TEST(ByteChunk, ReadsStayInsideTheBuffer)
{
  ByteChunk chunk;
  EXPECT_EQ(chunk.Put(int32_t{7}), 4);
  EXPECT_EQ(chunk.Put(2.5), 12);
  EXPECT_EQ(chunk.Put(true), 13);

  int32_t i = 0;
  double d = 0.0;
  bool b = false;
  EXPECT_EQ(chunk.Get(&i, 0), 4);
  EXPECT_EQ(chunk.Get(&d, 4), 12);
  EXPECT_EQ(chunk.Get(&b, 12), 13);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(d, 2.5);
  EXPECT_TRUE(b);

  d = -1.0;
  EXPECT_EQ(chunk.Get(&d, 6), -1); // only 7 bytes left
  EXPECT_EQ(chunk.Get(&d, -1), -1);
  EXPECT_EQ(chunk.Get(&d, INT_MAX - 2), -1); // pos + width overflows int
  EXPECT_EQ(d, -1.0);
  uint8_t raw[4];
  EXPECT_EQ(chunk.GetBytes(raw, -5, 0), -1);
  EXPECT_EQ(chunk.GetBytes(raw, 4, 10), -1);
}

TEST(ByteChunk, StringsAndHostileLengths)
{
  ByteChunk chunk;
  chunk.PutStr("Bass");
  EXPECT_EQ(chunk.Size(), 8);
  std::string text = "old";
  EXPECT_EQ(chunk.GetStr(text, 0), 8);
  EXPECT_EQ(text, "Bass");

  // A NUL inside the characters ends the text; the position still moves past them all.
  ByteChunk nul;
  nul.Put(int32_t{4});
  nul.PutBytes("ab\0c", 4);
  EXPECT_EQ(nul.GetStr(text, 0), 8);
  EXPECT_EQ(text, "ab");

  // Characters missing: text untouched, the position points past the end.
  ByteChunk cut;
  cut.Put(int32_t{10});
  cut.PutBytes("abc", 3);
  text = "kept";
  EXPECT_EQ(cut.GetStr(text, 0), 14);
  EXPECT_EQ(text, "kept");

  ByteChunk negative, huge;
  negative.Put(int32_t{-8});
  huge.Put(int32_t{INT_MAX});
  EXPECT_EQ(negative.GetStr(text, 0), -1);
  EXPECT_EQ(huge.GetStr(text, 0), -1);
  EXPECT_EQ(ByteChunk().GetStr(text, 0), -1);
}

TEST(State, ParamsRoundTripAndShortChunk)
{
  TestPlug inst;
  inst.SetValues({0.25, 0.0, 3.0, -4.0, 5000.0});
  ByteChunk chunk;
  ASSERT_TRUE(inst.SerializeState(&chunk));
  EXPECT_EQ(chunk.Size(), 8 * TestPlug::kNumTestParams);

  TestPlug other;
  EXPECT_EQ(other.UnserializeState(&chunk, 0), chunk.Size());
  EXPECT_EQ(other.Values(), inst.Values());
  EXPECT_EQ(other.mChanges, (std::vector<int>{0, 1, 2, 3, 4}));

  // Four bytes short: the last parameter gets its clamped 0.0, everything is notified.
  ByteChunk shortChunk = Prefix(chunk, chunk.Size() - 4);
  TestPlug third;
  EXPECT_EQ(third.UnserializeParams(&shortChunk, 0), -1);
  EXPECT_EQ(third.GetParam(TestPlug::kSteps)->Value(), -4.0);
  EXPECT_EQ(third.GetParam(TestPlug::kCutoff)->Value(), 20.0);
  EXPECT_EQ(third.mChanges.size(), 5u);

  // Values out of range and NaN never leave a parameter outside its range.
  ByteChunk hostile;
  for (double v : {1e300, std::nan(""), -1e300, 99.0, -1.0}) hostile.Put(v);
  TestPlug fourth;
  fourth.UnserializeParams(&hostile, 0);
  EXPECT_EQ(fourth.Values(), (std::vector<double>{1.0, 0.0, 0.0, 10.0, 20.0}));
  EXPECT_EQ(fourth.UnserializeParams(&hostile, -7), -7);
}

TEST(State, FrameworkStamp)
{
  ByteChunk chunk;
  chunk.Put(1.5);
  IPluginBase::InitChunkWithFrameworkVer(&chunk);
  ASSERT_EQ(chunk.Size(), 8);
  const uint8_t expected[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};
  EXPECT_EQ(std::memcmp(chunk.GetData(), expected, 8), 0);
  int pos = 0;
  EXPECT_EQ(IPluginBase::GetFrameworkVerFromChunk(&chunk, &pos), 0x00010000);
  EXPECT_EQ(pos, 8);

  // No stamp leaves the position alone; a stamp without its version makes it bad.
  ByteChunk plain, cut;
  plain.Put(0.5);
  cut.Put(IPluginBase::kFrameworkMagic);
  for (auto [c, after] : {std::pair{&plain, 0}, {&cut, -1}}) {
    pos = 0;
    EXPECT_EQ(IPluginBase::GetFrameworkVerFromChunk(c, &pos), 0);
    EXPECT_EQ(pos, after);
  }
}

TEST(Programs, NeverUsedSlotBecomesNumberedUserProgram)
{
  TestPlug inst;
  inst.GetPreset(1)->SetName("my user preset");
  inst.GetPreset(2)->SetName("user preset 1");
  inst.GetParam(TestPlug::kGain)->Set(0.75);
  ASSERT_TRUE(inst.RestorePreset(5));
  EXPECT_EQ(inst.GetCurrentPresetIdx(), 5);
  EXPECT_STREQ(inst.GetPresetName(5), "user preset 3");
  EXPECT_TRUE(inst.GetPreset(5)->mInitialized);
  EXPECT_TRUE(inst.CompareState(inst.GetPreset(5)->mChunk.GetData(), 0));

  for (int idx : {8, -1}) EXPECT_FALSE(inst.RestorePreset(idx)) << idx;
  for (const char* name : {"", static_cast<const char*>(nullptr), "absent"})
    EXPECT_FALSE(inst.RestorePreset(name));
  EXPECT_STREQ(inst.GetPresetName(8), "");

  // Of two programs of one name the lower index is chosen, even when it cannot be restored.
  inst.MakeDefaultPreset("Twin", 2);
  inst.GetPreset(0)->mChunk.Clear();
  EXPECT_FALSE(inst.RestorePreset("Twin"));
  EXPECT_EQ(inst.GetCurrentPresetIdx(), 5);
}

TEST(Programs, ModifyKeepsTheCurrentProgram)
{
  TestPlug inst(6);
  inst.MakeDefaultPreset("A", 1);
  inst.MakeDefaultPreset("B", 1);
  inst.GetPreset(3)->mInitialized = true;
  inst.GetPreset(3)->SetName("D");
  inst.GetPreset(3)->mChunk.PutChunk(inst.GetPreset(0)->mChunk);
  ASSERT_TRUE(inst.RestorePreset(3));
  inst.GetParam(TestPlug::kSteps)->Set(9);
  inst.ModifyCurrentPreset("D2");
  inst.ModifyCurrentPreset(""); // an empty name keeps the name
  EXPECT_STREQ(inst.GetPresetName(3), "D2");
  inst.GetParam(TestPlug::kSteps)->Set(0);
  ASSERT_TRUE(inst.RestorePreset(3));
  EXPECT_EQ(inst.GetParam(TestPlug::kSteps)->Value(), 9.0);
}

TEST(Programs, BankSerialisationRoundTrip)
{
  TestPlug src(4);
  src.SetValues({0.2, 0, 0, 1, 200});
  src.MakeDefaultPreset("One", 1);
  src.SetValues({0.4, 1, 2, 2, 400});
  src.MakeDefaultPreset("", 1); // an empty name must come back empty
  src.SetValues({0.6, 0, 3, 3, 600});
  src.MakeDefaultPreset("Three", 1);
  ASSERT_TRUE(src.RestorePreset(2));
  ByteChunk bank;
  ASSERT_TRUE(src.SerializePresets(&bank));

  TestPlug dst(4);
  dst.GetPreset(1)->SetName("stale");
  EXPECT_EQ(dst.UnserializePresets(&bank, 0), bank.Size());
  EXPECT_STREQ(dst.GetPresetName(0), "One");
  EXPECT_STREQ(dst.GetPresetName(1), "");
  EXPECT_FALSE(dst.GetPreset(3)->mInitialized);
  EXPECT_STREQ(dst.GetPresetName(3), "empty");
  // The live parameters end on the current program (index 0 in dst).
  EXPECT_EQ(dst.Values(), (std::vector<double>{0.2, 0, 0, 1, 200}));
  EXPECT_TRUE(dst.GetPreset(2)->mChunk.IsEqual(src.GetPreset(2)->mChunk));

  // Cut anywhere, the reader stops inside the bytes it was given.
  for (int n = 0; n < bank.Size(); n += 3) {
    ByteChunk cut = Prefix(bank, n);
    TestPlug victim(4);
    EXPECT_LT(victim.UnserializePresets(&cut, 0), n == 0 ? 1 : n + 1);
  }
}
