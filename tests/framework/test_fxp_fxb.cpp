#include "fwbase_test_plug.h"
#include "tests/common/test_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace std::string_literals;

namespace {

int32_t BE32(const ByteChunk& c, int pos)
{
  int32_t v = 0;
  EXPECT_GE(c.GetBE(&v, pos), 0);
  return v;
}

std::string Text(const ByteChunk& c, int pos, int n)
{
  return std::string(reinterpret_cast<const char*>(c.GetData()) + pos, static_cast<size_t>(n));
}

void SetBE32(ByteChunk& c, int pos, int32_t v)
{
  const uint32_t be = ByteChunk::ToBigEndian(static_cast<uint32_t>(v));
  std::memcpy(c.GetData() + pos, &be, 4);
}

// A copy of c with the big-endian word at pos replaced.
ByteChunk Patched(const ByteChunk& c, int pos, int32_t v)
{
  ByteChunk out = Prefix(c, c.Size());
  SetBE32(out, pos, v);
  return out;
}

// A bank of distinct programs: program i has gain i / 10 and steps i - 2.
void FillBank(TestPlug& p)
{
  for (int i = 0; i < p.NPresets(); ++i) {
    p.SetValues({i / 10.0, static_cast<double>(i % 2), static_cast<double>(i % 4), i - 2.0, 100.0 * (i + 1)});
    p.MakeDefaultPreset(("Program " + std::to_string(i)).c_str(), 1);
  }
}

TEST(FXP, ParameterFormHeaderAndRoundTrip)
{
  TestPlug src;
  src.SetValues({0.33, 0, 3, -5, 5000});
  src.GetPreset(0)->SetName("A name that is much longer than twenty-seven characters");
  ByteChunk fxp;
  ASSERT_TRUE(src.SaveProgramAsFXP(&fxp));
  ASSERT_EQ(fxp.Size(), 56 + 4 * TestPlug::kNumTestParams);
  EXPECT_EQ(Text(fxp, 0, 12), "CcnK\0\0\0\0FxCk"s);
  EXPECT_EQ(BE32(fxp, 12), 1);
  EXPECT_EQ(Text(fxp, 16, 4), "1r76");
  EXPECT_EQ(BE32(fxp, 20), 20104);
  EXPECT_EQ(BE32(fxp, 24), TestPlug::kNumTestParams);
  EXPECT_EQ(Text(fxp, 28, 28), "A name that is much longer \0"s);

  TestPlug dst;
  FillBank(dst);
  ASSERT_TRUE(dst.RestorePreset(4));
  dst.ClearRecords();
  ASSERT_TRUE(dst.LoadProgramFromFXP(fxp));
  EXPECT_EQ(dst.GetCurrentPresetIdx(), 4);
  EXPECT_STREQ(dst.GetPresetName(4), "A name that is much longer ");
  EXPECT_NEAR(dst.GetParam(TestPlug::kGain)->Value(), 0.33, 1e-6);
  EXPECT_EQ(dst.GetParam(TestPlug::kSteps)->Value(), -5.0);
  EXPECT_NEAR(dst.GetParam(TestPlug::kCutoff)->Value(), 5000.0, 0.01);
  EXPECT_EQ(dst.GetProgramChangeCount(), 1);
  // The program holds the loaded sound; its neighbours are untouched.
  EXPECT_TRUE(dst.CompareState(dst.GetPreset(4)->mChunk.GetData(), 0));
  EXPECT_STREQ(dst.GetPresetName(5), "Program 5");

  // An empty name in the file keeps the program's name.
  src.GetPreset(0)->SetName("");
  ASSERT_TRUE(src.SaveProgramAsFXP(&fxp));
  ASSERT_TRUE(dst.LoadProgramFromFXP(fxp));
  EXPECT_STREQ(dst.GetPresetName(4), "A name that is much longer ");
}

TEST(FXP, ChunkFormRoundTripAndRefusals)
{
  TestPlug src(8, true);
  src.SetValues({0.75, 0, 2, 8, 300});
  src.GetPreset(0)->SetName("Chunky");
  ByteChunk fxp;
  ASSERT_TRUE(src.SaveProgramAsFXP(&fxp));
  const int stateSize = 8 + 8 * TestPlug::kNumTestParams;
  ASSERT_EQ(fxp.Size(), 60 + stateSize);
  EXPECT_EQ(BE32(fxp, 4), stateSize + 60);
  EXPECT_EQ(Text(fxp, 8, 4), "FPCh");
  EXPECT_EQ(BE32(fxp, 56), stateSize);
  EXPECT_EQ(Text(fxp, 60, 4), "tffp");

  TestPlug dst(8, true);
  FillBank(dst);
  ASSERT_TRUE(dst.RestorePreset(2));
  const ByteChunk unread = dst.Snapshot();
  EXPECT_FALSE(dst.LoadProgramFromFXP(Patched(fxp, 56, fxp.Size()))); // runs past the file
  EXPECT_FALSE(dst.LoadProgramFromFXP(Patched(fxp, 56, -4)));
  // Consistent length, but the state inside is short: refused, live values restored.
  EXPECT_FALSE(dst.LoadProgramFromFXP(Patched(Prefix(fxp, fxp.Size() - 8), 56, stateSize - 8)));
  EXPECT_TRUE(dst.Snapshot().IsEqual(unread));
  ASSERT_TRUE(dst.LoadProgramFromFXP(fxp));
  EXPECT_EQ(dst.Values(), src.Values());
  EXPECT_STREQ(dst.GetPresetName(2), "Chunky");

  // A plug-in without chunks does not read the chunk form.
  TestPlug plain;
  const ByteChunk before = plain.Snapshot();
  EXPECT_FALSE(plain.LoadProgramFromFXP(fxp));
  EXPECT_TRUE(plain.Snapshot().IsEqual(before));
}

TEST(FXP, ForeignOrMalformedFilesChangeNothingAndHostileValuesAreClamped)
{
  TestPlug src;
  src.SetValues({0.9, 0, 0, 0, 20});
  ByteChunk good;
  ASSERT_TRUE(src.SaveProgramAsFXP(&good));

  TestPlug dst;
  FillBank(dst);
  ASSERT_TRUE(dst.RestorePreset(1));
  dst.ClearRecords();
  dst.mChanges.clear();
  const ByteChunk before = dst.Snapshot();

  // Foreign identifier, version 2, wrong magic and form, more values promised than held.
  const std::pair<int, int32_t> patches[] = {
      {16, FourCC("ABCD")}, {12, 2}, {0, FourCC("CcnQ")}, {8, FourCC("FxBk")}, {24, 1000}};
  for (auto [pos, v] : patches) EXPECT_FALSE(dst.LoadProgramFromFXP(Patched(good, pos, v))) << pos;
  for (int n = 0; n < good.Size(); ++n) EXPECT_FALSE(dst.LoadProgramFromFXP(Prefix(good, n))) << n;

  EXPECT_TRUE(dst.Snapshot().IsEqual(before));
  EXPECT_TRUE(dst.mChanges.empty());
  EXPECT_EQ(dst.GetProgramChangeCount(), 0);

  // Values out of range or NaN are read, but never leave a parameter outside its range.
  const int32_t nan = 0x7FC00000, big = 0x7F000000, negative = static_cast<int32_t>(0xC0000000);
  for (auto [pos, bits] : {std::pair{56, nan}, {64, big}, {68, negative}, {72, negative}})
    SetBE32(good, pos, bits);
  TestPlug fresh;
  ASSERT_TRUE(fresh.LoadProgramFromFXP(good));
  EXPECT_EQ(fresh.Values(), (std::vector<double>{0.0, 0.0, 3.0, -5.0, 20.0}));
}

TEST(FXB, ParameterFormRoundTripAndRefusals)
{
  TestPlug src;
  FillBank(src);
  ASSERT_TRUE(src.RestorePreset(6));
  ByteChunk fxb;
  ASSERT_TRUE(src.SaveBankAsFXB(&fxb));
  const int record = 56 + 4 * TestPlug::kNumTestParams;
  ASSERT_EQ(fxb.Size(), 156 + 8 * record);
  EXPECT_EQ(Text(fxb, 0, 12), "CcnK\0\0\0\0FxBk"s);
  EXPECT_EQ(BE32(fxb, 12), 2);
  EXPECT_EQ(BE32(fxb, 24), 8);
  EXPECT_EQ(BE32(fxb, 28), 6);
  EXPECT_EQ(fxb.GetData()[155], 0);
  EXPECT_EQ(Text(fxb, 156 + 3 * record + 8, 4), "FxCk");
  EXPECT_EQ(Text(fxb, 156 + 3 * record + 28, 10), "Program 3\0"s);

  TestPlug dst;
  dst.ClearRecords();
  ASSERT_TRUE(dst.LoadBankFromFXB(fxb));
  EXPECT_EQ(dst.GetCurrentPresetIdx(), 6);
  EXPECT_EQ(dst.GetProgramChangeCount(), 1);
  for (int i = 0; i < 8; ++i) {
    EXPECT_STREQ(dst.GetPresetName(i), ("Program " + std::to_string(i)).c_str());
    ASSERT_TRUE(dst.RestorePreset(i));
    EXPECT_NEAR(dst.GetParam(TestPlug::kGain)->Value(), i / 10.0, 1e-6);
    EXPECT_EQ(dst.GetParam(TestPlug::kSteps)->Value(), i - 2.0);
  }

  // A bad record or a short file changes nothing, and each refusal says what is wrong.
  TestPlug mine;
  mine.SetValues({0.01, 0, 0, 0, 20});
  mine.MakeDefaultPreset("Mine", 2);
  const ByteChunk before = mine.Snapshot();
  auto refused = [&](int offset, int32_t value, const char* why) {
    EXPECT_FALSE(mine.LoadBankFromFXB(Patched(fxb, offset, value))) << why;
    EXPECT_NE(mine.LastFileError().find(why), std::string::npos) << mine.LastFileError();
  };
  refused(156 + 2 * record + 24, TestPlug::kNumTestParams - 1, "program 2 is malformed");
  refused(156 + 7 * record + 8, FourCC("FPCh"), "program 7 is malformed");
  refused(16, FourCC("Xxxx"), "another instrument");
  refused(0, FourCC("RIFF"), "wrong identifier");
  refused(8, FourCC("Xxxx"), "unsupported bank form");
  for (int32_t count : {0, -1, INT32_MIN}) refused(24, count, "holds no programs");
  for (int32_t count : {src.NPresets() + 1, INT32_MAX}) refused(24, count, "promises");
  for (int32_t current : {src.NPresets(), -1}) refused(28, current, "out of range");
  for (int n = 0; n < fxb.Size(); n += 7) EXPECT_FALSE(mine.LoadBankFromFXB(Prefix(fxb, n))) << n;
  EXPECT_TRUE(mine.Snapshot().IsEqual(before));
}

// Programs beyond the plug-in's own are not written into the current one, and a
// stored program that cannot be restored is still replaced in its own slot.
TEST(FXB, ExtraProgramsAndUnreadableSlots)
{
  TestPlug src(12);
  FillBank(src);
  ByteChunk fxb;
  ASSERT_TRUE(src.SaveBankAsFXB(&fxb)); // current program 0

  TestPlug dst(4);
  dst.GetPreset(1)->mInitialized = true; // holds no state
  ASSERT_TRUE(dst.LoadBankFromFXB(fxb));
  EXPECT_EQ(dst.GetCurrentPresetIdx(), 0);
  for (int i = 0; i < 4; ++i) EXPECT_STREQ(dst.GetPresetName(i), ("Program " + std::to_string(i)).c_str());
  EXPECT_NEAR(dst.GetParam(TestPlug::kGain)->Value(), 0.0, 1e-9);
  for (int i : {1, 3}) {
    ASSERT_TRUE(dst.RestorePreset(i));
    EXPECT_EQ(dst.GetParam(TestPlug::kSteps)->Value(), i - 2.0);
  }
}

TEST(FXB, ChunkFormRoundTripAndRefusals)
{
  TestPlug src(4, true);
  FillBank(src);
  ASSERT_TRUE(src.RestorePreset(2));
  ByteChunk fxb;
  ASSERT_TRUE(src.SaveBankAsFXB(&fxb));
  ByteChunk presets;
  src.SerializePresets(&presets);
  EXPECT_EQ(Text(fxb, 8, 4), "FBCh");
  EXPECT_EQ(BE32(fxb, 4), 8 + presets.Size() + 160);
  EXPECT_EQ(BE32(fxb, 156), 8 + presets.Size());
  EXPECT_EQ(Text(fxb, 160, 4), "tffp");
  ASSERT_EQ(fxb.Size(), 160 + 8 + presets.Size());

  TestPlug dst(4, true);
  dst.GetParam(TestPlug::kSteps)->Set(7);
  dst.MakeDefaultPreset("Before", 1);
  const ByteChunk before = dst.Snapshot();
  // Length consistent with the file but the bank inside breaks off: all put back.
  EXPECT_FALSE(dst.LoadBankFromFXB(Patched(Prefix(fxb, fxb.Size() - 20), 156, BE32(fxb, 156) - 20)));
  EXPECT_FALSE(dst.LoadBankFromFXB(Prefix(fxb, fxb.Size() - 1)));
  EXPECT_TRUE(dst.Snapshot().IsEqual(before));

  ASSERT_TRUE(dst.LoadBankFromFXB(fxb));
  // The live parameters end on the receiving plug-in's current program (0).
  EXPECT_STREQ(dst.GetPresetName(0), "Program 0");
  EXPECT_EQ(dst.GetParam(TestPlug::kSteps)->Value(), -2.0);
  ASSERT_TRUE(dst.RestorePreset(3));
  EXPECT_EQ(dst.GetParam(TestPlug::kSteps)->Value(), 1.0);
}

TEST(Files, SaveAndLoadThroughTheFileSystem)
{
  const TempFolder folder("fwbase-files");
  const auto& dir = folder.dir();
  const std::string fxp = (dir / "p.fxp").string();
  TestPlug plug;
  FillBank(plug);
  ASSERT_TRUE(plug.RestorePreset(5));
  ASSERT_TRUE(plug.SaveProgramAsFXP(fxp));
  EXPECT_EQ(std::filesystem::file_size(fxp), 56u + 4 * TestPlug::kNumTestParams);
  ASSERT_TRUE(plug.RestorePreset(0));
  ASSERT_TRUE(plug.LoadProgramFromFXP(fxp));
  EXPECT_STREQ(plug.GetPresetName(0), "Program 5");

  EXPECT_FALSE(plug.LoadProgramFromFXP(std::string()));
  EXPECT_FALSE(plug.LoadBankFromFXB((dir / "missing.fxb").string()));
  EXPECT_FALSE(plug.LoadBankFromFXB(dir.string())); // a folder is not a bank
  EXPECT_FALSE(plug.SaveBankAsFXB(std::string()));
  EXPECT_FALSE(plug.SaveProgramAsFXP((dir / "no" / "such" / "folder.fxp").string()));
}

TEST(Files, SavesOnAFullDiskFailAndKeepTheOldFiles)
{
  TempFolder disk("zorva-disk", "64k");
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  TestPlug plug;
  FillBank(plug);
  ASSERT_TRUE(plug.SaveProgramAsFXP(disk.path("p.fxp")));
  ASSERT_TRUE(plug.SaveBankAsFXB(disk.path("b.fxb")));
  const auto fxpSize = std::filesystem::file_size(disk.path("p.fxp"));
  const auto fxbSize = std::filesystem::file_size(disk.path("b.fxb"));
  disk.Fill();
  EXPECT_FALSE(plug.SaveProgramAsFXP(disk.path("p.fxp")));
  EXPECT_FALSE(plug.SaveBankAsFXB(disk.path("b.fxb")));
  EXPECT_EQ(std::filesystem::file_size(disk.path("p.fxp")), fxpSize);
  EXPECT_EQ(std::filesystem::file_size(disk.path("b.fxb")), fxbSize);
  EXPECT_EQ(disk.Count(), 3u);
}

} // namespace
