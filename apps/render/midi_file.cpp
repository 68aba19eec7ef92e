#include "apps/render/midi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace render {

namespace {

constexpr uint64_t kMicrosPerSecond = 1000000;

} // namespace

void TempoMap::SetMetrical(uint32_t ticksPerQuarter)
{
  mTimecode = false;
  mTicksPerQuarter = ticksPerQuarter;
  mDen = uint64_t(ticksPerQuarter) * kMicrosPerSecond;
  Restart();
}

void TempoMap::SetTimecode(uint32_t framesPerSecond, uint32_t ticksPerFrame)
{
  mTimecode = true;
  if (framesPerSecond == 29) { // drop-frame rate, 30000/1001 frames per second
    mTimecodeMul = 1001;
    mDen = uint64_t(30000) * ticksPerFrame;
  } else {
    mTimecodeMul = 1;
    mDen = uint64_t(framesPerSecond) * ticksPerFrame;
  }
  Restart();
}

void TempoMap::Restart()
{
  mSegments.clear();
  mSegments.push_back({0, 0, kDefaultMicrosPerQuarter, 0.0});
}

void TempoMap::AddChange(uint64_t tick, uint32_t microsPerQuarter)
{
  Segment& last = mSegments.back();
  if (tick <= last.mTick) {
    last.mMicrosPerQuarter = microsPerQuarter;
    return;
  }
  const Wide timeNum = TimeAt(tick).mNum;
  double quarters;
  if (mTimecode) {
    const double seconds = double(timeNum - last.mTimeNum) / double(mDen);
    quarters = last.mQuarters + seconds * double(kMicrosPerSecond) / double(last.mMicrosPerQuarter);
  } else {
    quarters = double(tick) / double(mTicksPerQuarter);
  }
  mSegments.push_back({tick, timeNum, microsPerQuarter, quarters});
}

ExactTime TempoMap::TimeAt(uint64_t tick) const
{
  if (mTimecode) return {Wide(tick) * mTimecodeMul, mDen};
  auto it = std::upper_bound(mSegments.begin(), mSegments.end(), tick,
                             [](uint64_t t, const Segment& s) { return t < s.mTick; });
  const Segment& seg = *(it - 1);
  return {seg.mTimeNum + Wide(tick - seg.mTick) * seg.mMicrosPerQuarter, mDen};
}

double TempoMap::SecondsAt(uint64_t tick) const
{
  const ExactTime t = TimeAt(tick);
  return double(t.mNum) / double(t.mDen);
}

int64_t TempoMap::FrameAt(uint64_t tick, int64_t rate) const
{
  // floor(num / den * rate + 1/2) = floor((2 * num * rate + den) / (2 * den))
  const ExactTime t = TimeAt(tick);
  const Wide num = 2 * t.mNum * Wide(rate) + t.mDen;
  return int64_t(num / (2 * Wide(t.mDen)));
}

size_t TempoMap::SegmentAtFrame(int64_t frame, int64_t rate) const
{
  // The last segment whose start time is at or before frame / rate.
  const __int128 frameNum = __int128(frame) * mDen;
  auto it =
      std::upper_bound(mSegments.begin(), mSegments.end(), frameNum, [rate](__int128 f, const Segment& s) {
        return f < __int128(s.mTimeNum * Wide(rate));
      });
  return it == mSegments.begin() ? 0 : size_t(it - mSegments.begin()) - 1;
}

double TempoMap::TempoAtFrame(int64_t frame, int64_t rate) const
{
  return 60.0 * double(kMicrosPerSecond) / double(mSegments[SegmentAtFrame(frame, rate)].mMicrosPerQuarter);
}

double TempoMap::QuarterNotesAtFrame(int64_t frame, int64_t rate) const
{
  const Segment& seg = mSegments[SegmentAtFrame(frame, rate)];
  // Time since the segment start as an exact fraction, then one rounding.
  const __int128 sinceNum = __int128(frame) * mDen - __int128(seg.mTimeNum * Wide(rate));
  const double since = double(sinceNum) / (double(rate) * double(mDen));
  return seg.mQuarters + since * double(kMicrosPerSecond) / double(seg.mMicrosPerQuarter);
}

namespace {

struct TempoEvent
{
  uint64_t mTick;
  uint32_t mTrack;
  uint32_t mOrder;
  uint32_t mMicrosPerQuarter;
};

class Reader
{
public:
  Reader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}

  bool Fail(const std::string& message)
  {
    mError = message;
    return false;
  }

  bool Parse(MidiFile& out)
  {
    if (mSize > kMaxMidiFileBytes) return Fail("file is larger than 64 MiB; not a plausible MIDI file");
    uint32_t headerLength = 0;
    if (mSize < 14 || !Match(0, "MThd")) return Fail("not a Standard MIDI File (no MThd header)");
    headerLength = Be32(4);
    if (headerLength < 6) return Fail("MThd header is too short");
    if (headerLength > mSize - 8) return Fail("MThd header runs past the end of the file");
    const uint16_t format = Be16(8);
    const uint16_t declaredTracks = Be16(10);
    const uint16_t division = Be16(12);
    if (format == 2) return Fail("format 2 (independent sequences) is not supported; use format 0 or 1");
    if (format > 2) return Fail("unknown MIDI file format " + std::to_string(format));
    out.mFormat = format;
    out.mDivision = division;
    if (!SetDivision(division, out.mTempo)) return false;

    size_t pos = 8 + size_t(headerLength);
    uint32_t track = 0;
    while (track < declaredTracks) {
      if (mSize - pos < 8)
        return Fail("file ends after " + std::to_string(track) + " of " + std::to_string(declaredTracks) +
                    " tracks");
      const uint32_t length = Be32(pos + 4);
      if (length > mSize - pos - 8)
        return Fail("chunk at byte " + std::to_string(pos) + " runs past the end of the file");
      if (Match(pos, "MTrk")) {
        if (!ParseTrack(track, pos + 8, pos + 8 + length, out.mEvents)) return false;
        ++track;
      }
      // Unknown chunks are skipped by their length.
      pos += 8 + size_t(length);
    }
    out.mNumTracks = int(track);

    auto byTickTrackOrder = [](const auto& a, const auto& b) {
      if (a.mTick != b.mTick) return a.mTick < b.mTick;
      if (a.mTrack != b.mTrack) return a.mTrack < b.mTrack;
      return a.mOrder < b.mOrder;
    };
    std::sort(out.mEvents.begin(), out.mEvents.end(), byTickTrackOrder);
    std::sort(mTempo.begin(), mTempo.end(), byTickTrackOrder);
    out.mTempo.Reserve(mTempo.size());
    for (const TempoEvent& t : mTempo) out.mTempo.AddChange(t.mTick, t.mMicrosPerQuarter);

    if (!out.mEvents.empty()) {
      const ExactTime last = out.mTempo.TimeAt(out.mEvents.back().mTick);
      if (last.mNum > Wide(kMaxEventSeconds) * last.mDen)
        return Fail("events extend beyond 24 hours; the file's timing is implausible");
    }
    return true;
  }

  const std::string& Error() const { return mError; }

private:
  bool Match(size_t pos, const char* tag) const { return std::equal(tag, tag + 4, mData + pos); }
  uint16_t Be16(size_t pos) const { return uint16_t((mData[pos] << 8) | mData[pos + 1]); }
  uint32_t Be32(size_t pos) const
  {
    return (uint32_t(mData[pos]) << 24) | (uint32_t(mData[pos + 1]) << 16) | (uint32_t(mData[pos + 2]) << 8) |
           uint32_t(mData[pos + 3]);
  }

  bool SetDivision(uint16_t division, TempoMap& tempo)
  {
    if (division & 0x8000) {
      const int fps = -int(int8_t(division >> 8));
      const uint32_t ticksPerFrame = division & 0xFF;
      if (fps != 24 && fps != 25 && fps != 29 && fps != 30)
        return Fail("timecode division with " + std::to_string(fps) + " frames per second is not valid");
      if (ticksPerFrame == 0) return Fail("timecode division with 0 ticks per frame");
      tempo.SetTimecode(uint32_t(fps), ticksPerFrame);
    } else {
      if (division == 0) return Fail("division of 0 ticks per quarter note");
      tempo.SetMetrical(division);
    }
    return true;
  }

  std::string Where(uint32_t track, size_t pos) const
  {
    return "track " + std::to_string(track) + ", byte " + std::to_string(pos) + ": ";
  }

  // A variable-length quantity of at most four bytes, inside [pos, end).
  bool ReadVlq(uint32_t track, size_t& pos, size_t end, uint32_t& value)
  {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      if (pos >= end)
        return Fail(Where(track, pos) + "variable-length number runs past the end of the track");
      const uint8_t b = mData[pos++];
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return Fail(Where(track, pos) + "variable-length number longer than 4 bytes");
  }

  bool ParseTrack(uint32_t track, size_t pos, size_t end, std::vector<MidiEvent>& events)
  {
    uint64_t tick = 0;
    uint32_t order = 0;
    uint8_t runningStatus = 0;
    while (pos < end) {
      uint32_t delta;
      if (!ReadVlq(track, pos, end, delta)) return false;
      tick += delta;
      if (pos >= end) return Fail(Where(track, pos) + "track ends after a delta time");
      const size_t eventPos = pos;
      uint8_t status = mData[pos];
      if (status & 0x80) {
        ++pos;
      } else {
        // Running status survives meta and sysex events: a valid file never
        // relies on either behaviour, and sloppy writers expect this one.
        if (!runningStatus) return Fail(Where(track, eventPos) + "data byte with no running status");
        status = runningStatus;
      }

      if (status == 0xFF) {
        if (pos >= end) return Fail(Where(track, eventPos) + "meta event runs past the end of the track");
        const uint8_t type = mData[pos++];
        uint32_t length;
        if (!ReadVlq(track, pos, end, length)) return false;
        if (length > end - pos)
          return Fail(Where(track, eventPos) + "meta event runs past the end of the track");
        if (type == 0x2F) return true; // end of track; anything after it is ignored
        if (type == 0x51) {
          if (length < 3) return Fail(Where(track, eventPos) + "tempo event with fewer than 3 data bytes");
          const uint32_t micros =
              (uint32_t(mData[pos]) << 16) | (uint32_t(mData[pos + 1]) << 8) | mData[pos + 2];
          if (micros == 0) return Fail(Where(track, eventPos) + "tempo of 0 microseconds per quarter note");
          mTempo.push_back({tick, track, order++, micros});
        }
        pos += length;
      } else if (status == 0xF0 || status == 0xF7) {
        uint32_t length;
        if (!ReadVlq(track, pos, end, length)) return false;
        if (length > end - pos)
          return Fail(Where(track, eventPos) + "sysex event runs past the end of the track");
        pos += length;
      } else if (status >= 0xF0) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X", status);
        return Fail(Where(track, eventPos) + "status byte " + hex + " is not allowed in a MIDI file");
      } else {
        runningStatus = status;
        const uint8_t kind = status & 0xF0;
        const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (end - pos < size_t(dataBytes))
          return Fail(Where(track, eventPos) + "channel message runs past the end of the track");
        MidiEvent ev;
        ev.mTick = tick;
        ev.mTrack = track;
        ev.mOrder = order++;
        ev.mStatus = status;
        ev.mData1 = mData[pos];
        ev.mData2 = dataBytes == 2 ? mData[pos + 1] : 0;
        if ((ev.mData1 | ev.mData2) & 0x80)
          return Fail(Where(track, eventPos) + "status byte where a data byte was expected");
        pos += size_t(dataBytes);
        events.push_back(ev);
      }
    }
    // A track without its end-of-track event is accepted: every event in it was complete.
    return true;
  }

  const uint8_t* mData;
  size_t mSize;
  std::string mError;
  std::vector<TempoEvent> mTempo;
};

} // namespace

bool ParseMidiFile(const uint8_t* data, size_t size, MidiFile& out, std::string& error)
{
  out = MidiFile();
  Reader reader(data, size);
  if (reader.Parse(out)) return true;
  error = reader.Error();
  out = MidiFile();
  return false;
}

bool ReadMidiFile(const std::string& path, MidiFile& out, std::string& error)
{
  // Standard input may be a pipe: read whole, like a file, within the same limit.
  const bool fromStdin = path == "-" || path == "/dev/stdin";
  const std::string name = fromStdin ? std::string("standard input") : path;
  // Non-blocking, so that a FIFO cannot hang the renderer before it is refused.
  const int fd = fromStdin ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = name + ": cannot open file: " + std::strerror(errno);
    return false;
  }
  struct stat info;
  if (!fromStdin && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
    const bool folder = S_ISDIR(info.st_mode);
    ::close(fd);
    error = name +
            (folder ? ": is a folder, not a MIDI file" : ": not a regular file (use - for standard input)");
    return false;
  }
  std::vector<uint8_t> bytes;
  bool failed = false;
  for (;;) {
    uint8_t piece[65536];
    const ssize_t n = ::read(fd, piece, sizeof piece);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed = true;
    if (n <= 0) break;
    bytes.insert(bytes.end(), piece, piece + n);
    if (bytes.size() > kMaxMidiFileBytes) break;
  }
  if (!fromStdin) ::close(fd);
  if (failed) {
    error = name + ": cannot read file: " + std::strerror(errno);
    return false;
  }
  if (bytes.size() > kMaxMidiFileBytes) {
    error = name + ": larger than 64 MiB; not a plausible MIDI file";
    return false;
  }
  if (!ParseMidiFile(bytes.data(), bytes.size(), out, error)) {
    error = name + ": " + error;
    return false;
  }
  return true;
}

} // namespace render
