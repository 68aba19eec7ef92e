#include "apps/render/options.h"
#include "apps/render/param_setting.h"

#include <gtest/gtest.h>
#include <tuple>

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
  EXPECT_EQ(std::tie(o.mInput, o.mOutput, *o.mBank, *o.mProgramName, *o.mFxp),
            std::tuple("in.mid", "out.wav", "b.fxb", "Fat Bass", "p.fxp"));
  EXPECT_TRUE(o.mInit && o.mQuiet);
  ASSERT_EQ(o.mSets.size(), 2u);
  EXPECT_EQ(std::tie(o.mSets[0].mName, o.mSets[0].mValue, o.mSets[1].mName, o.mSets[1].mValue),
            std::tuple("Mode 1", "Lowpass", "Voices", "8"));
  EXPECT_EQ(std::tie(o.mRate, o.mBlockSize, o.mFormat, *o.mLengthSeconds),
            std::tuple(48000, 100, SampleFormat::kS24, 2.5));

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
  // A list's texts first ("1" is a text of Voices, not position 1), then for
  // texts that are not numbers a position; only numbers in a plain range.
  const std::tuple<ParamAssignment, int, double> accepted[] = {{{"Voices", "1"}, 0, 3.0},
                                                               {{"Mode 1", "Lowpass"}, 1, 2.0},
                                                               {{"1", "phaser"}, 1, 6.0},
                                                               {{"Mode 1", "3"}, 1, 3.0},
                                                               {{"Volume", "2"}, 2, 2.0}};
  for (const auto& [assignment, wantIndex, wantValue] : accepted) {
    ASSERT_TRUE(ResolveAssignment(params, assignment, index, value, error)) << error;
    EXPECT_EQ(std::tuple(index, value), std::tuple(wantIndex, wantValue)) << assignment.mValue;
  }

  params[1].mList[0] = "\x1b[2J\nOff";
  EXPECT_EQ(FormatParamList(params).find('\x1b'), std::string::npos);
  const std::pair<ParamAssignment, std::string> refused[] = {
      {{"Voices", "3"}, ""}, // no text "3", and a position would mislead
      {{"Volume", "5"}, "from 0 to 2"},
      {{"Mode 1", "7"}, ""},
      {{"Volume", "0x1"}, ""},
      {{"Mode 1", "Lowpas"}, "\"\\x1B[2J\\x0AOff\""},
      {{"Mode 1", "Lowpas"}, "\"Bandpass\""},
      {{"Loudness", "1"}, "no parameter named \"Loudness\""},
      {{"99", "1"}, ""},
      {{"Volume", "loud"}, ""},
      {{"Volume", "inf"}, ""}};
  for (const auto& [assignment, fragment] : refused) {
    EXPECT_FALSE(ResolveAssignment(params, assignment, index, value, error)) << assignment.mValue;
    EXPECT_NE(error.find(fragment), std::string::npos) << error;
  }
}
