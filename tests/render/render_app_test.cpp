#include "apps/render/render_app.h"
#include "tests/render/midi_builder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <tuple>

using namespace render;
using namespace render_test;

namespace {

// Logs the calls that choose the sound and prepare rendering; plays a
// constant 0.5 while a note is held.
struct FakeInstrument : RenderInstrument
{
  std::vector<std::string>& mLog;
  int mHeld = 0;
  explicit FakeInstrument(std::vector<std::string>& log) : mLog(log) { mLog.push_back("construct"); }

  bool LoadBank(const std::string& path, std::string& error) override
  {
    mLog.push_back("bank " + path);
    error = path + ": not a bank file";
    return path != "bad.fxb";
  }
  bool LoadProgram(const std::string& path, std::string&) override
  {
    mLog.push_back("fxp " + path);
    return true;
  }
  int NumPrograms() const override { return 64; }
  std::string ProgramName(int index) const override
  {
    return index == 5 ? "Fat Bass" : "P" + std::to_string(index);
  }
  void SelectProgram(int index) override { mLog.push_back("program " + std::to_string(index)); }
  void InitProgram() override { mLog.push_back("init"); }
  std::vector<ParamInfo> Params() const override
  {
    return {{"Voices", 0, 3, 0, 0, "1", {"1", "2", "4", "8"}}, {"Volume", 0, 2, 1, 1, "0.0", {}}};
  }
  void SetParam(int index, double value) override
  {
    mLog.push_back("set " + std::to_string(index) + " " + std::to_string(value));
  }
  void Prepare(int rate, int block) override
  {
    mLog.push_back("prepare " + std::to_string(rate) + " " + std::to_string(block));
  }
  void SetTransport(double, double, bool) override {}
  void SendMidi(int, uint8_t status, uint8_t, uint8_t velocity) override
  {
    mHeld += (status & 0xF0) == 0x90 && velocity ? 1 : -1;
  }
  void ProcessBlock(double* left, double* right, int frames) override
  {
    for (int i = 0; i < frames; ++i) left[i] = right[i] = mHeld ? 0.5 : 0.0;
  }
  bool IsSounding() const override { return mHeld > 0; }
};

struct AppRun
{
  int mStatus = -1;
  std::string mOut, mErr;
  std::vector<std::string> mLog;
};

AppRun RunApp(const std::vector<std::string>& args)
{
  AppRun run;
  std::ostringstream out, err;
  run.mStatus = RunRenderApp(
      args, [&run] { return std::make_unique<FakeInstrument>(run.mLog); }, AppStreams{out, err, false});
  run.mOut = out.str();
  run.mErr = err.str();
  return run;
}

std::string WriteFile(const std::string& name, const Bytes& bytes)
{
  const std::string path = testing::TempDir() + "zorva_app_" + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

} // namespace

TEST(RenderApp, SetsUpInContractOrderAndRenders)
{
  // One second of note at 120 bpm (480 ticks per quarter).
  const std::string mid =
      WriteFile("one.mid", Smf(0, 480, {Track().Ev(0, {0x90, 60, 100}).Ev(960, {0x80, 60, 0}).End()}));
  const std::string wav = testing::TempDir() + "zorva_app_one.wav";
  const AppRun run =
      RunApp({mid, "-o", wav, "--set", "Volume=0.5", "--bank", "ok.fxb", "--program-name", "fat bass",
              "--fxp", "p.fxp", "--init", "--set", "Voices=8", "--rate", "8000", "--block", "300"});
  ASSERT_EQ(run.mStatus, kExitOk) << run.mErr;
  const std::vector<std::string> expected = {
      "construct", "bank ok.fxb",    "program 5",      "fxp p.fxp",
      "init",      "set 1 0.500000", "set 0 3.000000", "prepare 8000 300"};
  EXPECT_EQ(run.mLog, expected);
  EXPECT_EQ(run.mOut.rfind("rendered 1.012 s: peak -6.0 dBFS, RMS -6.2 dBFS, ", 0), 0u) << run.mOut;

  SF_INFO info = {};
  SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(info.frames, 8100); // the note-off's block, 7800..8099, is the last
  EXPECT_EQ(info.samplerate, 8000);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  sf_close(f);
  std::remove(wav.c_str());
}

TEST(RenderApp, ExitStatusesForBadArgumentsAndBadInput)
{
  const std::string mid = WriteFile("ok.mid", Smf(0, 96, {Track().Ev(0, {0x90, 60, 1}).End()}));
  const std::string bad = WriteFile("bad.mid", {'M', 'T', 'h', 'd', 0, 0});
  const std::string wav = testing::TempDir() + "zorva_app_x.wav";

  // Messages go to stderr; only help, which is no failure, goes to stdout.
  const std::tuple<std::vector<std::string>, int, std::string> cases[] = {
      {{mid, "--rate", "fast", "-o", wav}, kExitBadArguments, "zorva-render: --rate"},
      {{testing::TempDir() + "missing.mid", "-o", wav}, kExitBadInput, "cannot open"},
      {{bad, "-o", wav}, kExitBadInput, ""},
      {{mid, "-o", wav, "--bank", "bad.fxb"}, kExitBadInput, ""},
      {{mid, "-o", wav, "--program-name", "Nothing"}, kExitBadArguments, "no program named \"Nothing\""},
      {{mid, "-o", wav, "--set", "Voices=many"}, kExitBadArguments, ""},
      {{mid, "-o", "/nonexistent-dir/x.wav"}, kExitOutputFailed, ""},
      {{"--help"}, kExitOk, "usage: zorva-render"},
  };
  for (const auto& [args, status, fragment] : cases) {
    const AppRun run = RunApp(args);
    EXPECT_EQ(run.mStatus, status) << fragment;
    EXPECT_NE((status == kExitOk ? run.mOut : run.mErr).find(fragment), std::string::npos) << run.mErr;
  }
  EXPECT_TRUE(RunApp({mid, "--rate", "fast", "-o", wav}).mLog.empty())
      << "nothing built for a bad command line";
}

TEST(RenderApp, ListsProgramsAndParamsWithoutRendering)
{
  const AppRun run = RunApp({"--list-programs", "--list-params", "--set", "Voices=4"});
  ASSERT_EQ(run.mStatus, kExitOk) << run.mErr;
  for (const char* line : {" 5  Fat Bass\n", "63  P63\n", "Voices", "1 | 2 | 4 | 8"})
    EXPECT_NE(run.mOut.find(line), std::string::npos) << line;
  EXPECT_EQ(run.mLog.back(), "set 0 2.000000");
}
