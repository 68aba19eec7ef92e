// Drives the MIDI queue, message decoding, the hex dump, host lookup and the
// parameter record with hostile bytes, checking the queue against a simple model.
#include "Hosts.h"
#include "IMidiQueue.h"
#include "IParam.h"
#include "IPluginStructs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class Reader
{
public:
  Reader(const uint8_t* data, size_t size) : mData(data), mSize(size) {}
  bool More() const { return mPos < mSize; }
  uint8_t Byte() { return mPos < mSize ? mData[mPos++] : 0; }
  int Short() { return static_cast<int16_t>(Byte() | (Byte() << 8)); }
  double Double()
  {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
  }
  std::string Text()
  {
    const size_t len = Byte();
    std::string text;
    while (text.size() < len && More()) text += static_cast<char>(Byte());
    return text;
  }

private:
  const uint8_t* mData;
  size_t mSize;
  size_t mPos = 0;
};

void Check(bool ok)
{
  if (!ok) std::abort();
}

bool SameMsg(const IMidiMsg* got, const IMidiMsg& expected)
{
  return got && got->mOffset == expected.mOffset && got->mStatus == expected.mStatus &&
         got->mData1 == expected.mData1 && got->mData2 == expected.mData2;
}

void DecodeEverything(const IMidiMsg& msg)
{
  Check(msg.Channel() >= 0 && msg.Channel() < 16);
  const double bend = msg.PitchWheel();
  // Data bytes above 127 are not MIDI, but must still decode to something bounded.
  Check(bend >= -1.0 && bend <= 8319.0 / 8192.0);
  const double cc = msg.ControlChange(msg.ControlChangeIdx());
  Check(cc == -1.0 || (cc >= 0.0 && cc <= 255.0 / 127.0));
  (void)msg.NoteNumber();
  (void)msg.Velocity();
  (void)msg.PolyAfterTouch();
  (void)msg.ChannelAfterTouch();
  (void)msg.Program();
  Check(StatusMsgStr(msg.StatusMsg()) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  Reader in(data, size);
  IMidiQueue queue;
  std::vector<IMidiMsg> model;
  IParam param;

  for (int ops = 0; in.More() && ops < 4096; ++ops) {
    switch (in.Byte() % 9) {
    case 0: {
      IMidiMsg msg(in.Short(), in.Byte(), in.Byte(), in.Byte());
      queue.Add(msg);
      auto at = std::upper_bound(model.begin(), model.end(), msg,
                                 [](const IMidiMsg& a, const IMidiMsg& b) { return a.mOffset < b.mOffset; });
      model.insert(at, msg);
      break;
    }
    case 1:
      queue.Remove();
      if (!model.empty()) model.erase(model.begin());
      break;
    case 2: {
      const int frames = in.Byte();
      queue.Flush(frames);
      for (IMidiMsg& msg : model) msg.mOffset -= frames;
      break;
    }
    case 3: queue.Resize(in.Short()); break;
    case 4: {
      IMidiMsg msg(0, in.Byte(), in.Byte(), in.Byte());
      DecodeEverything(msg);
      msg.MakePitchWheelMsg(in.Double(), in.Byte());
      DecodeEverything(msg);
      msg.MakeControlChangeMsg(IMidiMsg::EControlChangeMsg(in.Byte()), in.Double(), in.Byte());
      DecodeEverything(msg);
      break;
    }
    case 5: {
      const int maxlen = in.Byte() + 1;
      const std::string bytes = in.Text();
      auto text = std::make_unique<char[]>(maxlen);
      SysExStr(text.get(), maxlen, reinterpret_cast<const uint8_t*>(bytes.data()),
               static_cast<int>(bytes.size()));
      Check(std::strlen(text.get()) < static_cast<size_t>(maxlen));
      break;
    }
    case 6: {
      const EHost host = LookUpHost(in.Text().c_str());
      auto name = std::make_unique<char[]>(kMaxHostNameLen);
      GetHostNameStr(host, name.get());
      break;
    }
    case 7: {
      const int kind = in.Byte() % 4;
      const std::string name = in.Text();
      if (kind == 0) param.InitBool(name.c_str(), in.Byte() & 1);
      if (kind == 1) param.InitEnum(name.c_str(), in.Short(), in.Short());
      if (kind == 2) param.InitInt(name.c_str(), in.Short(), in.Short(), in.Short());
      if (kind == 3)
        param.InitDouble(name.c_str(), in.Double(), in.Double(), in.Double(), in.Double(), "", "",
                         in.Double());
      param.SetDisplayText(in.Short(), in.Text().c_str());
      break;
    }
    case 8: {
      param.SetNormalized(in.Double());
      param.Set(in.Double());
      auto text = std::make_unique<char[]>(kMaxParamDisplayLen);
      param.GetDisplayForHost(in.Double(), in.Byte() & 1, text.get(), in.Byte() & 1);
      Check(std::strlen(text.get()) < static_cast<size_t>(kMaxParamDisplayLen));
      (void)param.GetLabelForHost();
      (void)param.GetNormalized();
      (void)param.Int();
      int value = 0;
      param.MapDisplayText(in.Text().c_str(), &value);
      (void)param.GetDisplayTextAtIdx(in.Short(), &value);
      break;
    }
    }

    // The queue holds exactly what the model holds, in the same order.
    Check(queue.ToDo() == static_cast<int>(model.size()));
    Check(queue.GetSize() >= queue.ToDo());
    if (!model.empty()) Check(SameMsg(queue.Peek(), model.front()));
  }

  // Drain and compare the whole order once at the end.
  for (const IMidiMsg& expected : model) {
    Check(SameMsg(queue.Peek(), expected));
    queue.Remove();
  }
  Check(queue.Empty());
  return 0;
}
