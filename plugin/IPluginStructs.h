#pragma once

#include <cstdint>
#include <type_traits>

// Sizes of the fixed text fields in records and files, terminating NUL included.
constexpr int kMaxParamNameLen = 32;    // parameter names, labels, groups and display texts
constexpr int kMaxParamDisplayLen = 32; // text written by IParam::GetDisplayForHost
constexpr int kMaxEffectNameLen = 128;  // plug-in, product and manufacturer names
constexpr int kMaxPresetNameLen = 256;  // program names

// One MIDI short message, timed in sample frames from the start of the current block.
// Kept a plain 8-byte record: the MIDI queue stores and moves them as raw memory.
struct IMidiMsg
{
  int mOffset;
  uint8_t mStatus, mData1, mData2;

  // The message kind: the high nibble of the status byte.
  enum EStatusMsg {
    kNone = 0,
    kNoteOff = 8,
    kNoteOn = 9,
    kPolyAftertouch = 10,
    kControlChange = 11,
    kProgramChange = 12,
    kChannelAftertouch = 13,
    kPitchWheel = 14
  };

  // Controller numbers are the MIDI control-change numbers themselves (0-127);
  // only the ones the system refers to by name are listed.
  enum EControlChangeMsg : int {
    kBankSelect = 0,
    kModWheel = 1,
    kBreathController = 2,
    kFootController = 4,
    kPortamentoTime = 5,
    kChannelVolume = 7,
    kBalance = 8,
    kPan = 10,
    kExpressionController = 11,
    kSustainOnOff = 64,
    kPortamentoOnOff = 65,
    kSostenutoOnOff = 66,
    kSoftPedalOnOff = 67,
    kAllSoundOff = 120,
    kResetAllControllers = 121,
    kLocalControl = 122,
    kAllNotesOff = 123,
    kOmniModeOff = 124,
    kOmniModeOn = 125,
    kMonoModeOn = 126,
    kPolyModeOn = 127
  };

  IMidiMsg(int offset = 0, uint8_t status = 0, uint8_t data1 = 0, uint8_t data2 = 0)
      : mOffset(offset), mStatus(status), mData1(data1), mData2(data2)
  {
  }

  void MakeNoteOnMsg(int noteNumber, int velocity, int offset, int channel = 0);
  void MakeNoteOffMsg(int noteNumber, int offset, int channel = 0);
  // value in -1 ... +1; the offset becomes 0.
  void MakePitchWheelMsg(double value, int channel = 0);
  // value in 0 ... 1; the offset becomes 0.
  void MakeControlChangeMsg(EControlChangeMsg idx, double value, int channel = 0);
  void Clear();

  int Channel() const;
  EStatusMsg StatusMsg() const;
  // The integer accessors answer -1 for a message of another kind.
  int NoteNumber() const;
  int Velocity() const;
  int PolyAfterTouch() const;
  int ChannelAfterTouch() const;
  int Program() const;
  // -1 ... +8191/8192; 0.0 for a message of another kind.
  double PitchWheel() const;
  EControlChangeMsg ControlChangeIdx() const;
  // 0 ... 1 when this is a change of controller idx, else -1.0.
  double ControlChange(EControlChangeMsg idx) const;
  void LogMsg() const {}
};

static_assert(std::is_trivially_copyable_v<IMidiMsg>);
static_assert(sizeof(IMidiMsg) == 8);

// A system-exclusive message. The bytes belong to the caller and are valid only
// during the call that delivers the record.
struct ISysEx
{
  int mOffset, mSize;
  const uint8_t* mData;

  ISysEx(int offset = 0, const uint8_t* data = nullptr, int size = 0)
      : mOffset(offset), mSize(size), mData(data)
  {
  }

  void Clear();
  void LogMsg() const {}
};

// The host's tempo, position, time signature and transport for one block.
struct ITimeInfo
{
  double mTempo = 120.0;     // beats per minute
  double mSamplePos = -1.0;  // samples since the timeline start
  double mPPQPos = -1.0;     // position in beats
  double mLastBar = -1.0;    // beat of the last bar start
  double mCycleStart = -1.0; // beat
  double mCycleEnd = -1.0;   // beat
  int mNumerator = 4;
  int mDenominator = 4;
  bool mTransportIsRunning = false;
  bool mTransportLoopEnabled = false;
};

// The log word of a message kind ("noteon", ...); "unknown" for anything else.
const char* StatusMsgStr(IMidiMsg::EStatusMsg msg);

// Writes the bytes as "F0 7E 00" into str, as many as fit in maxlen (at least 3)
// at three characters each, and returns str.
char* SysExStr(char* str, int maxlen, const uint8_t* data, int size);
