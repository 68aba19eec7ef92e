#include "IPluginStructs.h"

#include <algorithm>
#include <cmath>

namespace {

// A channel beyond 15 would otherwise spill into the kind nibble and turn, say, a
// note on into key pressure.
uint8_t StatusByte(int kind, int channel)
{
  return static_cast<uint8_t>((kind << 4) | (channel & 0x0F));
}

} // namespace

void IMidiMsg::MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel)
{
  mOffset = offset;
  mStatus = StatusByte(kNoteOn, channel);
  mData1 = static_cast<uint8_t>(noteNumber);
  mData2 = static_cast<uint8_t>(velocity);
}

void IMidiMsg::MakeNoteOffMsg(int noteNumber, int offset, int channel)
{
  mOffset = offset;
  mStatus = StatusByte(kNoteOff, channel);
  mData1 = static_cast<uint8_t>(noteNumber);
  mData2 = 0;
}

void IMidiMsg::MakePitchWheelMsg(double value, int channel)
{
  mOffset = 0;
  mStatus = StatusByte(kPitchWheel, channel);
  // Clamped before the conversion: a value far out of range must not overflow it.
  if (std::isnan(value)) value = 0.0;
  const int i = 8192 + static_cast<int>(std::clamp(value, -2.0, 2.0) * 8192.0);
  const int clamped = std::clamp(i, 0, 16383);
  mData1 = static_cast<uint8_t>(clamped & 0x7F);
  mData2 = static_cast<uint8_t>(clamped >> 7);
}

void IMidiMsg::MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel)
{
  mOffset = 0;
  mStatus = StatusByte(kControlChange, channel);
  mData1 = static_cast<uint8_t>(idx);
  // Kept within a data byte: a value above 1 would otherwise wrap to a small one.
  mData2 =
      static_cast<uint8_t>(std::isnan(value) ? 0 : static_cast<int>(std::clamp(value, 0.0, 1.0) * 127.0));
}

void IMidiMsg::Clear()
{
  mOffset = 0;
  mStatus = mData1 = mData2 = 0;
}

int IMidiMsg::Channel() const
{
  return mStatus & 0x0F;
}

IMidiMsg::EStatusMsg IMidiMsg::StatusMsg() const
{
  const int kind = mStatus >> 4;
  return kind >= kNoteOff && kind <= kPitchWheel ? static_cast<EStatusMsg>(kind) : kNone;
}

int IMidiMsg::NoteNumber() const
{
  switch (mStatus >> 4) {
  case kNoteOff:
  case kNoteOn:
  case kPolyAftertouch: return mData1;
  default: return -1;
  }
}

int IMidiMsg::Velocity() const
{
  switch (mStatus >> 4) {
  case kNoteOff:
  case kNoteOn: return mData2;
  default: return -1;
  }
}

int IMidiMsg::PolyAfterTouch() const
{
  return (mStatus & 0xF0) == 0xA0 ? mData2 : -1;
}

int IMidiMsg::ChannelAfterTouch() const
{
  return (mStatus & 0xF0) == 0xD0 ? mData1 : -1;
}

int IMidiMsg::Program() const
{
  return (mStatus & 0xF0) == 0xC0 ? mData1 : -1;
}

double IMidiMsg::PitchWheel() const
{
  if ((mStatus & 0xF0) != 0xE0) return 0.0;
  const int i = ((mData2 & 0x7F) << 7) + mData1;
  return static_cast<double>(i - 8192) / 8192.0;
}

IMidiMsg::EControlChangeMsg IMidiMsg::ControlChangeIdx() const
{
  return static_cast<EControlChangeMsg>(mData1);
}

double IMidiMsg::ControlChange(EControlChangeMsg idx) const
{
  if ((mStatus & 0xF0) == 0xB0 && mData1 == idx) return static_cast<double>(mData2) / 127.0;
  return -1.0;
}

void ISysEx::Clear()
{
  mOffset = mSize = 0;
  mData = nullptr;
}

const char* StatusMsgStr(IMidiMsg::EStatusMsg msg)
{
  static const char* const kWords[] = {
      "none",       "unknown",       "unknown",       "unknown",           "unknown",
      "unknown",    "unknown",       "unknown",       "noteoff",           "noteon",
      "aftertouch", "controlchange", "programchange", "channelaftertouch", "pitchwheel"};
  const unsigned idx = static_cast<unsigned>(msg);
  return idx < sizeof(kWords) / sizeof(kWords[0]) ? kWords[idx] : "unknown";
}

char* SysExStr(char* str, int maxlen, const uint8_t* data, int size)
{
  if (!str || maxlen < 1) return str;
  str[0] = '\0';
  if (!data || size <= 0) return str;
  const int n = std::min(maxlen / 3, size);
  // Written by hand: a formatted write would put its NUL one byte past 3n - 1,
  // which may lie beyond maxlen.
  static const char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < n; ++i) {
    str[3 * i] = kHex[data[i] >> 4];
    str[3 * i + 1] = kHex[data[i] & 0x0F];
    str[3 * i + 2] = ' ';
  }
  if (n > 0) str[3 * n - 1] = '\0';
  return str;
}
