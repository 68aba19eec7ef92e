#include "apps/render/schedule.h"

#include <algorithm>
#include <cmath>

namespace render {

int64_t FramesForSeconds(double seconds, int rate)
{
  return int64_t(std::floor(seconds * double(rate) + 0.5));
}

std::vector<TimedMessage> ScheduleEvents(const MidiFile& file, int rate)
{
  std::vector<TimedMessage> out;
  out.reserve(file.mEvents.size());
  for (const MidiEvent& ev : file.mEvents)
    out.push_back({file.mTempo.FrameAt(ev.mTick, rate), ev.mStatus, ev.mData1, ev.mData2});
  return out;
}

int64_t MaxRenderFrames(const MidiFile& file, const RenderSettings& settings)
{
  if (settings.mLengthSeconds)
    return std::max<int64_t>(0, FramesForSeconds(*settings.mLengthSeconds, settings.mRate));
  int64_t last = -1;
  for (const MidiEvent& ev : file.mEvents)
    last = std::max(last, file.mTempo.FrameAt(ev.mTick, settings.mRate));
  return last < 0 ? 0 : last + int64_t(kMaxTailSeconds) * settings.mRate + settings.mBlockSize;
}

RenderResult RunRender(const MidiFile& file, const RenderSettings& settings, RenderTarget& target,
                       BlockSink& sink, const ProgressFunc& progress)
{
  RenderResult result;
  const int rate = settings.mRate;
  const int blockSize = settings.mBlockSize;
  if (rate <= 0 || blockSize <= 0) {
    result.mError = "sample rate and block size must be positive";
    return result;
  }
  const std::vector<TimedMessage> events = ScheduleEvents(file, rate);
  const int64_t lastEventFrame = events.empty() ? -1 : events.back().mFrame;
  const bool fixedLength = settings.mLengthSeconds.has_value();

  int64_t limit;
  int64_t expected;
  if (fixedLength) {
    limit = std::max<int64_t>(0, FramesForSeconds(*settings.mLengthSeconds, rate));
    expected = limit;
  } else {
    limit = events.empty() ? 0 : lastEventFrame + int64_t(kMaxTailSeconds) * rate;
    expected = lastEventFrame + 1;
  }

  // Everything the loop needs is allocated here, none of it per block.
  std::vector<double> left(static_cast<size_t>(blockSize)), right(static_cast<size_t>(blockSize));
  size_t next = 0;
  int64_t start = 0;
  while (start < limit) {
    const int frames = int(std::min<int64_t>(blockSize, limit - start));
    const int64_t end = start + frames;
    target.SetTransport(file.mTempo.TempoAtFrame(start, rate), file.mTempo.QuarterNotesAtFrame(start, rate),
                        true);
    for (; next < events.size() && events[next].mFrame < end; ++next) {
      const TimedMessage& m = events[next];
      target.SendMidi(int(m.mFrame - start), m.mStatus, m.mData1, m.mData2);
    }
    std::fill(left.begin(), left.begin() + frames, 0.0);
    std::fill(right.begin(), right.begin() + frames, 0.0);
    target.ProcessBlock(left.data(), right.data(), frames);
    if (!sink.WriteBlock(left.data(), right.data(), frames, result.mError)) {
      result.mFrames = start;
      return result;
    }
    start = end;
    if (progress) progress(start, expected);
    if (!fixedLength && next == events.size() && !target.IsSounding()) break;
  }
  result.mFrames = start;
  result.mOk = true;
  return result;
}

} // namespace render
