#include "apps/standalone/midi_input.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace standalone {

int64_t NowNanos()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int FrameOffset(int64_t arrivalNanos, int64_t periodStartNanos, double rate, int nFrames)
{
  if (nFrames <= 0) return 0;
  const double frames = double(arrivalNanos - periodStartNanos) * 1e-9 * rate;
  if (!(frames > 0.0)) return 0;
  return int(std::min(std::floor(frames), double(nFrames - 1)));
}

MidiInput::MidiInput() = default;

MidiInput::~MidiInput()
{
  Close();
}

void MidiInput::OnMessage(double, std::vector<unsigned char>* message, void* user)
{
  Port* port = static_cast<Port*>(user);
  // Short messages only; system exclusive and real-time bytes are ignored.
  if (!message || message->empty() || message->size() > 3) return;
  TimedMidi msg;
  msg.mNanos = NowNanos();
  msg.mStatus = (*message)[0];
  if (message->size() > 1) msg.mData1 = (*message)[1];
  if (message->size() > 2) msg.mData2 = (*message)[2];
  if (!port->mQueue.Push(msg)) port->mDropped.fetch_add(1, std::memory_order_relaxed);
}

bool MidiInput::Open(bool useJack, const std::string& clientName, const std::string& portFilter,
                     std::string& error, std::string& warning)
{
  const RtMidi::Api api = useJack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
  std::vector<RtMidi::Api> apis;
  RtMidi::getCompiledApi(apis);
  if (std::find(apis.begin(), apis.end(), api) == apis.end()) {
    warning = std::string("MIDI input through ") + (useJack ? "JACK" : "ALSA") + " is not available";
    return portFilter.empty() ? true : (error = warning, false);
  }
  auto makePort = [&](const std::string& name) {
    auto port = std::make_unique<Port>();
    port->mIn = std::make_unique<RtMidiIn>(api, name, 1024);
    port->mIn->ignoreTypes(true, true, true);
    port->mIn->setCallback(&MidiInput::OnMessage, port.get());
    return port;
  };
  try {
    // Our own port, for connections made later by the user or a patchbay.
    auto own = makePort(clientName + " MIDI");
    own->mIn->openVirtualPort("midi_in");
    mNames.push_back(clientName + " MIDI:midi_in");
    const unsigned count = own->mIn->getPortCount();
    std::vector<std::string> sources;
    for (unsigned i = 0; i < count; ++i) sources.push_back(own->mIn->getPortName(i));
    mPorts.push_back(std::move(own));

    int matched = 0;
    for (unsigned i = 0; i < sources.size(); ++i) {
      const std::string& name = sources[i];
      // Never our own ports, nor a loop through the system's echo port.
      if (name.find(clientName) != std::string::npos || name.find("Midi Through") != std::string::npos)
        continue;
      if (!portFilter.empty() && name.find(portFilter) == std::string::npos) continue;
      auto port = makePort(clientName + " MIDI");
      port->mIn->openPort(i, "in_" + std::to_string(i));
      mNames.push_back(name);
      mPorts.push_back(std::move(port));
      ++matched;
    }
    if (!portFilter.empty() && matched == 0) {
      error = "no MIDI port named \"" + portFilter + "\"";
      Close();
      return false;
    }
  } catch (const RtMidiError& e) {
    Close();
    warning = "MIDI input not available: " + e.getMessage();
    if (!portFilter.empty()) {
      error = warning;
      return false;
    }
  }
  return true;
}

void MidiInput::Close()
{
  for (auto& port : mPorts) {
    // RtMidi's JACK input unregisters its port (and drops the callback) while
    // its JACK client is still active, racing with the client's process
    // thread, which then reads a port that is gone. Closing happens only on
    // the way out, so the JACK inputs are left running and the process end
    // takes them down.
    if (port->mIn->getCurrentApi() == RtMidi::UNIX_JACK) {
      port.release();
      continue;
    }
    try {
      port->mIn->cancelCallback();
      port->mIn->closePort();
    } catch (const RtMidiError&) {
    }
  }
  mPorts.clear();
  mNames.clear();
}

int MidiInput::Dropped() const
{
  int n = 0;
  for (const auto& port : mPorts) n += port->mDropped.load(std::memory_order_relaxed);
  return n;
}

} // namespace standalone
