#include "apps/render/wav_writer.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace render {

bool ParseSampleFormat(const std::string& text, SampleFormat& format)
{
  if (text == "f32")
    format = SampleFormat::kF32;
  else if (text == "f64")
    format = SampleFormat::kF64;
  else if (text == "s16")
    format = SampleFormat::kS16;
  else if (text == "s24")
    format = SampleFormat::kS24;
  else
    return false;
  return true;
}

const char* SampleFormatName(SampleFormat format)
{
  switch (format) {
  case SampleFormat::kF32: return "f32";
  case SampleFormat::kF64: return "f64";
  case SampleFormat::kS16: return "s16";
  case SampleFormat::kS24: return "s24";
  }
  return "";
}

WavWriter::~WavWriter()
{
  Abort();
}

void WavWriter::Abort()
{
  if (mFile) sf_close(mFile);
  mFile = nullptr;
  mTarget.Abort();
}

bool WavWriter::Open(const std::string& path, int rate, SampleFormat format, std::string& error,
                     int64_t maxFrames)
{
  Abort();
  int subtype = SF_FORMAT_FLOAT;
  switch (format) {
  case SampleFormat::kF32: subtype = SF_FORMAT_FLOAT; break;
  case SampleFormat::kF64: subtype = SF_FORMAT_DOUBLE; break;
  case SampleFormat::kS16: subtype = SF_FORMAT_PCM_16; break;
  case SampleFormat::kS24: subtype = SF_FORMAT_PCM_24; break;
  }
  mBytesPerFrame = 2 * (format == SampleFormat::kF64   ? 8
                        : format == SampleFormat::kS16 ? 2
                        : format == SampleFormat::kS24 ? 3
                                                       : 4);
  mRf64 = uint64_t(std::max<int64_t>(maxFrames, 0)) * uint64_t(mBytesPerFrame) > kMaxWavDataBytes;
  SF_INFO info = {};
  info.samplerate = rate;
  info.channels = 2;
  info.format = (mRf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV) | subtype;
  if (!mTarget.Open(path, &error)) return false;
  mFile = sf_open_fd(mTarget.Fd(), SFM_WRITE, &info, SF_FALSE);
  if (!mFile) {
    error = path + ": cannot write: " + sf_strerror(nullptr);
    mTarget.Abort();
    return false;
  }
  // Integer formats: samples beyond full scale clip instead of wrapping round.
  sf_command(mFile, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // The float formats' PEAK chunk carries a timestamp; without it the same
  // render always gives the same file.
  sf_command(mFile, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  mPath = path;
  mFrames = 0;
  mPeak = 0.0;
  mSumSquares = 0.0;
  return true;
}

bool WavWriter::WriteBlock(const double* left, const double* right, int frames, std::string& error)
{
  if (!mFile) {
    error = "no output file is open";
    return false;
  }
  if (frames <= 0) return true;
  // The RIFF sizes are 32-bit: past 4 GiB the header would lie about the data.
  if (!mRf64 && uint64_t(mFrames + frames) * uint64_t(mBytesPerFrame) > kMaxWavDataBytes) {
    error = mPath + ": output would pass the 4 GiB limit of a WAV file; shorten it with --length";
    return false;
  }
  mInterleaved.resize(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    const double l = left[i], r = right[i];
    mInterleaved[size_t(i) * 2] = l;
    mInterleaved[size_t(i) * 2 + 1] = r;
    mPeak = std::fmax(mPeak, std::fmax(std::fabs(l), std::fabs(r)));
    mSumSquares += l * l + r * r;
  }
  if (sf_writef_double(mFile, mInterleaved.data(), frames) != frames) {
    error = mPath + ": write failed: " + sf_strerror(mFile);
    return false;
  }
  mFrames += frames;
  return true;
}

bool WavWriter::Close(std::string& error)
{
  if (!mFile) return true;
  const int rc = sf_close(mFile);
  mFile = nullptr;
  if (rc != 0) {
    error = mPath + ": cannot finish file: " + sf_error_number(rc);
    mTarget.Abort();
    return false;
  }
  return mTarget.Commit(&error);
}

static double ToDbfs(double level)
{
  return level > 0.0 ? 20.0 * std::log10(level) : -std::numeric_limits<double>::infinity();
}

double WavWriter::PeakDbfs() const
{
  return ToDbfs(mPeak);
}

double WavWriter::RmsDbfs() const
{
  if (mFrames == 0) return ToDbfs(0.0);
  return ToDbfs(double(std::sqrt(mSumSquares / double(mFrames * 2))));
}

} // namespace render
