#include "apps/render/options.h"
#include "apps/render/param_setting.h"

#include <gtest/gtest.h>

using namespace render;

TEST(Options, FullCommandLine)
{
  RenderOptions o;
  std::string error;
  ASSERT_TRUE(ParseOptions({"--bank",         "b.fxb",
                            "--program-name", "Fat Bass",
                            "--fxp",          "p.fxp",
                            "--init",         "in.mid",
                            "--set",          "Mode 1=Lowpass",
                            "--set=Voices=8", "--rate=48000",
                            "--block",        "100",
                            "--format",       "s24",
                            "--length",       "2.5",
                            "--quiet",        "-o",
                            "out.wav"},
                           o, error))
      << error;
  EXPECT_EQ(o.mInput, "in.mid");
  EXPECT_EQ(o.mOutput, "out.wav");
  EXPECT_EQ(*o.mBank, "b.fxb");
  EXPECT_EQ(*o.mProgramName, "Fat Bass");
  EXPECT_EQ(*o.mFxp, "p.fxp");
  EXPECT_TRUE(o.mInit && o.mQuiet);
  ASSERT_EQ(o.mSets.size(), 2u);
  EXPECT_EQ(o.mSets[0].mName, "Mode 1");
  EXPECT_EQ(o.mSets[0].mValue, "Lowpass");
  EXPECT_EQ(o.mSets[1].mName, "Voices");
  EXPECT_EQ(o.mSets[1].mValue, "8");
  EXPECT_EQ(o.mRate, 48000);
  EXPECT_EQ(o.mBlockSize, 100);
  EXPECT_EQ(o.mFormat, SampleFormat::kS24);
  EXPECT_EQ(*o.mLengthSeconds, 2.5);

  // Listing and help need no files; "--" lets an input start with a dash.
  EXPECT_TRUE(ParseOptions({"--list-programs"}, o, error));
  EXPECT_TRUE(ParseOptions({"--help"}, o, error) && o.mHelp);
  ASSERT_TRUE(ParseOptions({"-o", "x.wav", "--", "-odd.mid"}, o, error));
  EXPECT_EQ(o.mInput, "-odd.mid");
}

TEST(Options, BadArgumentsAreRefusedWithAMessage)
{
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"a.mid", "-o", "b.wav", "--frobnicate"}, "unknown option --frobnicate"},
      {{"a.mid", "-o"}, "-o needs a value"},
      {{"a.mid", "-o", "b.wav", "--program", "64"}, "0 to 63"},
      {{"a.mid", "-o", "b.wav", "--program", "3x"}, "0 to 63"},
      {{"a.mid", "-o", "b.wav", "--rate", "44.1k"}, "--rate"},
      {{"a.mid", "-o", "b.wav", "--rate", "100"}, "--rate"},
      {{"a.mid", "-o", "b.wav", "--block", "0"}, "--block"},
      {{"a.mid", "-o", "b.wav", "--format", "wav"}, "f32, f64, s16 or s24"},
      {{"a.mid", "-o", "b.wav", "--length", "-1"}, "--length"},
      {{"a.mid", "-o", "b.wav", "--length", "nan"}, "--length"},
      {{"a.mid", "-o", "b.wav", "--length", "0x10"}, "--length"},
      {{"a.mid", "-o", "b.wav", "--length", " 2"}, "--length"},
      {{"a.mid", "-o", "b.wav", "--rate", " 44100"}, "--rate"},
      {{"a.mid", "-o", "b.wav", "--rate", "0xAC44"}, "--rate"},
      {{"a.mid", "-o", "b.wav", "--set", "Volume"}, "NAME=VALUE"},
      {{"a.mid", "-o", "b.wav", "--set", "=1"}, "NAME=VALUE"},
      {{"a.mid", "-o", "b.wav", "--quiet=yes"}, "takes no value"},
      {{"a.mid", "b.mid", "-o", "b.wav"}, "only one input"},
      {{"a.mid"}, "no output"},
      {{"-o", "b.wav"}, "no input"},
      {{"a.mid", "-o", "b.wav", "--program", "1", "--program-name", "X"}, "cannot be used together"},
  };
  for (const auto& [args, fragment] : cases) {
    RenderOptions o;
    std::string error;
    EXPECT_FALSE(ParseOptions(args, o, error)) << fragment;
    EXPECT_NE(error.find(fragment), std::string::npos) << "got: " << error;
  }
}

TEST(ParamAssignment, ListTextsFirstThenPositionsThenNumbers)
{
  std::vector<ParamInfo> params(3);
  params[0] = {"Voices", 0, 3, 0, 0, "2", {"2", "4", "8", "1"}};
  params[1] = {
      "Mode 1", 0, 6, 0, 0, "Off", {"Off", "Bypass", "Lowpass", "Highpass", "Bandpass", "Allpass", "Phaser"}};
  params[2] = {"Volume", 0.0, 2.0, 1.0, 1.0, "0.0", {}};

  int index = -1;
  double value = -1;
  std::string error;
  ASSERT_TRUE(ResolveAssignment(params, {"Voices", "1"}, index, value, error));
  EXPECT_EQ(index, 0);
  EXPECT_EQ(value, 3.0); // the text "1", not position 1
  // No text "3", and a position would mislead.
  EXPECT_FALSE(ResolveAssignment(params, {"Voices", "3"}, index, value, error));
  ASSERT_TRUE(ResolveAssignment(params, {"Mode 1", "Lowpass"}, index, value, error));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(value, 2.0);
  ASSERT_TRUE(ResolveAssignment(params, {"1", "phaser"}, index, value, error));
  EXPECT_EQ(value, 6.0);
  // Texts that are not numbers: a position.
  ASSERT_TRUE(ResolveAssignment(params, {"Mode 1", "3"}, index, value, error));
  EXPECT_EQ(value, 3.0);
  ASSERT_TRUE(ResolveAssignment(params, {"Volume", "2"}, index, value, error));

  EXPECT_FALSE(ResolveAssignment(params, {"Volume", "5"}, index, value, error));
  EXPECT_NE(error.find("from 0 to 2"), std::string::npos) << error;
  EXPECT_FALSE(ResolveAssignment(params, {"Mode 1", "7"}, index, value, error));
  EXPECT_FALSE(ResolveAssignment(params, {"Volume", "0x1"}, index, value, error));
  params[1].mList[0] = "\x1b[2J\nOff";
  EXPECT_FALSE(ResolveAssignment(params, {"Mode 1", "Lowpas"}, index, value, error));
  EXPECT_NE(error.find("\"\\x1B[2J\\x0AOff\""), std::string::npos) << error;
  EXPECT_EQ(FormatParamList(params).find('\x1b'), std::string::npos);
  EXPECT_FALSE(ResolveAssignment(params, {"Loudness", "1"}, index, value, error));
  EXPECT_NE(error.find("no parameter named \"Loudness\""), std::string::npos);
  EXPECT_FALSE(ResolveAssignment(params, {"99", "1"}, index, value, error));
  EXPECT_FALSE(ResolveAssignment(params, {"Mode 1", "Lowpas"}, index, value, error));
  EXPECT_NE(error.find("\"Bandpass\""), std::string::npos);
  EXPECT_FALSE(ResolveAssignment(params, {"Volume", "loud"}, index, value, error));
  EXPECT_FALSE(ResolveAssignment(params, {"Volume", "inf"}, index, value, error));
}
