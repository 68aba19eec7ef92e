#include "apps/render/wav_writer.h"
#include "tests/common/test_folder.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <tuple>

using namespace render;

TEST(WavWriter, RoundTripsInEveryFormatAndIntegersClipInsteadOfWrapping)
{
  const std::tuple<SampleFormat, int, double, bool> cases[] = {
      {SampleFormat::kF32, SF_FORMAT_FLOAT, 1e-7, false},
      {SampleFormat::kF64, SF_FORMAT_DOUBLE, 0.0, false},
      {SampleFormat::kS16, SF_FORMAT_PCM_16, 1.0 / 32768, true},
      {SampleFormat::kS24, SF_FORMAT_PCM_24, 1.0 / 8388608, true}};
  const int frames = 1002;
  std::vector<double> left(frames), right(frames);
  for (int i = 0; i < 1000; ++i) {
    left[size_t(i)] = 0.9 * std::sin(i * 0.05);
    right[size_t(i)] = -0.3 * std::cos(i * 0.011) + 1e-9 * i;
  }
  // Full scale and beyond: the integer formats clip them.
  left[1000] = 1.5;
  left[1001] = -3.0;
  right[1000] = 1.0;
  for (const auto& [format, subtype, tolerance, clips] : cases) {
    const std::string path = testing::TempDir() + "zorva_render_" + SampleFormatName(format) + ".wav";
    WavWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, 48000, format, error)) << error;
    ASSERT_TRUE(writer.WriteBlock(left.data(), right.data(), 600, error));
    ASSERT_TRUE(writer.WriteBlock(left.data() + 600, right.data() + 600, 402, error));
    ASSERT_TRUE(writer.Close(error)) << error;
    EXPECT_EQ(writer.FramesWritten(), frames);

    SF_INFO info = {};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << path;
    EXPECT_EQ(info.format, SF_FORMAT_WAV | subtype); // small files stay plain WAV
    EXPECT_EQ(std::pair(info.channels, info.samplerate), std::pair(2, 48000));
    ASSERT_EQ(info.frames, frames);
    std::vector<double> back(size_t(frames) * 2);
    ASSERT_EQ(sf_readf_double(f, back.data(), frames), frames);
    sf_close(f);
    for (size_t i = 0; i < back.size(); ++i) {
      const double sent = (i % 2 ? right : left)[i / 2];
      ASSERT_NEAR(back[i], clips ? std::clamp(sent, -1.0, 1.0) : sent, tolerance)
          << SampleFormatName(format) << i;
    }
    std::remove(path.c_str());
  }
}

TEST(WavWriter, MeasuresPeakAndRmsOfEverythingWritten)
{
  const std::string path = testing::TempDir() + "zorva_render_level.wav";
  WavWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(path, 44100, SampleFormat::kF32, error));
  EXPECT_EQ(std::tuple(writer.PeakDbfs(), writer.RmsDbfs()), std::tuple(-INFINITY, -INFINITY));
  std::vector<double> l(100, 0.5), r(100, -0.5), silence(100, 0.0);
  ASSERT_TRUE(writer.WriteBlock(l.data(), r.data(), 100, error));
  EXPECT_NEAR(writer.RmsDbfs(), -6.0206, 1e-4);
  ASSERT_TRUE(writer.WriteBlock(silence.data(), silence.data(), 100, error));
  r[7] = -1.0;
  ASSERT_TRUE(writer.WriteBlock(silence.data(), r.data(), 100, error));
  EXPECT_DOUBLE_EQ(writer.PeakDbfs(), 0.0);
  // 299 samples of 0.25 power and one of 1.0 over 600 samples.
  EXPECT_NEAR(writer.RmsDbfs(), 10 * std::log10((299 * 0.25 + 1.0) / 600), 1e-9);
  // Past 4 GiB the 32-bit RIFF sizes would be wrong: refused before any
  // sample is read.
  EXPECT_FALSE(writer.WriteBlock(l.data(), r.data(), 600000000, error));
  EXPECT_NE(error.find("4 GiB"), std::string::npos);
  ASSERT_TRUE(writer.Close(error));
  std::remove(path.c_str());

  EXPECT_FALSE(writer.Open("/nonexistent-dir/x.wav", 44100, SampleFormat::kF32, error));
  EXPECT_NE(error.find("/nonexistent-dir/x.wav"), std::string::npos);
  EXPECT_FALSE(writer.WriteBlock(l.data(), r.data(), 100, error));
}

TEST(WavWriter, OldOutputSurvivesFailuresAndLongRendersBecomeRf64)
{
  const std::vector<double> block(4096, 0.25);
  std::string error;
  TempFolder folder;
  const std::string path = folder.path("out.wav");
  std::ofstream(path) << "old";
  {
    WavWriter abandoned; // a render that failed half-way is never committed
    ASSERT_TRUE(abandoned.Open(path, 44100, SampleFormat::kF32, error));
    ASSERT_TRUE(abandoned.WriteBlock(block.data(), block.data(), 4096, error));
  }
  EXPECT_EQ(folder.Count(), 1u);
  EXPECT_EQ(std::ifstream(path).rdbuf()->sgetc(), 'o');

  // Eight hours of f64 cannot be described by a RIFF header.
  WavWriter writer;
  ASSERT_TRUE(writer.Open(path, 48000, SampleFormat::kF64, error, int64_t(48000) * 3600 * 8)) << error;
  ASSERT_TRUE(writer.WriteBlock(block.data(), block.data(), 100, error));
  ASSERT_TRUE(writer.Close(error)) << error;
  SF_INFO info = {};
  SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
  ASSERT_NE(f, nullptr);
  sf_close(f);
  EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_DOUBLE);
  EXPECT_EQ(info.frames, 100);

  TempFolder disk("zorva-disk", "64k");
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
  std::ofstream(disk.path("out.wav")) << "old";
  WavWriter full;
  ASSERT_TRUE(full.Open(disk.path("out.wav"), 44100, SampleFormat::kF32, error));
  bool written = true;
  for (int i = 0; i < 10 && written; ++i) written = full.WriteBlock(block.data(), block.data(), 4096, error);
  EXPECT_FALSE(written && full.Close(error));
  full.Abort();
  EXPECT_EQ(disk.Count(), 1u);
  EXPECT_EQ(std::ifstream(disk.path("out.wav")).rdbuf()->sgetc(), 'o');
}
