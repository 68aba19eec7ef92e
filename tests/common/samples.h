#pragma once

// Sample files and bit-exact comparisons for the tests that play a song through
// a plug-in or the app and hold it against the renderer's output.

#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// One vector per channel; none when the file cannot be read.
inline std::vector<std::vector<float>> readWavChannels(const std::string& path)
{
  SF_INFO info = {};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file) return {};
  std::vector<float> interleaved(size_t(info.frames) * size_t(info.channels));
  const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
  sf_close(file);
  std::vector<std::vector<float>> channels(size_t(info.channels), std::vector<float>(size_t(got)));
  for (size_t i = 0; i < interleaved.size() && i / channels.size() < size_t(got); ++i)
    channels[i % channels.size()][i / channels.size()] = interleaved[i];
  return channels;
}

// Index of the first sample that differs in its bits (or of the shorter end), -1 if none.
inline int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b)
{
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return int64_t(i);
  return a.size() == b.size() ? -1 : int64_t(std::min(a.size(), b.size()));
}
