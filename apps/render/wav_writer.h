#pragma once

// Stereo WAV output through libsndfile, with the level of everything written.

#include "apps/render/schedule.h"
#include "plugin/SafeFile.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace render {

enum class SampleFormat { kF32, kF64, kS16, kS24 };

// "f32", "f64", "s16", "s24"; false for anything else.
bool ParseSampleFormat(const std::string& text, SampleFormat& format);
const char* SampleFormatName(SampleFormat format);

// Room for the header below the 32-bit RIFF size.
constexpr uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 4096;

// The file goes to a temporary beside the output and replaces it only when
// Close succeeds: a failed or interrupted render leaves the old file as it was.

class WavWriter : public BlockSink
{
public:
  WavWriter() = default;
  ~WavWriter() override;
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // maxFrames: the most the render can write. Beyond a WAV file's 4 GiB the
  // output is RF64, the form audio tools expect for long files.
  bool Open(const std::string& path, int rate, SampleFormat format, std::string& error,
            int64_t maxFrames = 0);
  bool WriteBlock(const double* left, const double* right, int frames, std::string& error) override;
  // Finishes the header and replaces the output; false if the file could not be completed.
  bool Close(std::string& error);
  // Drops the file being written; the output stays as it was.
  void Abort();
  bool IsRf64() const { return mRf64; }

  int64_t FramesWritten() const { return mFrames; }
  // Over both channels of every frame written, before conversion to the
  // file's sample format; -infinity for silence or nothing written.
  double PeakDbfs() const;
  double RmsDbfs() const;

private:
  SNDFILE* mFile = nullptr;
  SafeFileWriter mTarget;
  std::string mPath;
  bool mRf64 = false;
  std::vector<double> mInterleaved;
  int mBytesPerFrame = 8;
  int64_t mFrames = 0;
  double mPeak = 0.0;
  double mSumSquares = 0.0;
};

} // namespace render
