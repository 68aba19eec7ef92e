#pragma once

// MIDI input for the standalone app: one RtMidi input per source port (every
// port by default), plus a port of our own that others may connect to. Each
// input thread stamps its messages on arrival and pushes them into its own
// lock-free queue; the audio thread drains all queues in arrival order.

#include "apps/standalone/spsc_queue.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace standalone {

struct TimedMidi
{
  int64_t mNanos = 0; // steady clock at arrival
  uint8_t mStatus = 0, mData1 = 0, mData2 = 0;
};

// steady_clock in nanoseconds: the one clock of arrivals and audio callbacks.
int64_t NowNanos();

// The frame within a block of nFrames at which a message that arrived at
// arrivalNanos plays, the block standing for the period that began at
// periodStartNanos. Late and early arrivals are clamped into the block, so
// order is kept.
int FrameOffset(int64_t arrivalNanos, int64_t periodStartNanos, double rate, int nFrames);

class MidiInput
{
public:
  MidiInput();
  ~MidiInput();

  // useJack: JACK MIDI, else the ALSA sequencer. portFilter empty: every
  // source port; else only those whose name contains it (none is an error).
  // A missing MIDI system is not an error: notes then come from nowhere, and
  // warning says so.
  bool Open(bool useJack, const std::string& clientName, const std::string& portFilter, std::string& error,
            std::string& warning);
  // Only on the way out (see the JACK case in the implementation).
  void Close();

  // Audio thread: every waiting message in arrival order.
  template <typename F> void Drain(F&& consume)
  {
    for (;;) {
      Port* first = nullptr;
      for (auto& port : mPorts) {
        const TimedMidi* msg = port->mQueue.Peek();
        if (msg && (!first || msg->mNanos < first->mQueue.Peek()->mNanos)) first = port.get();
      }
      if (!first) return;
      consume(*first->mQueue.Peek());
      first->mQueue.Pop();
    }
  }

  // Names of the ports listened to (our own port first).
  const std::vector<std::string>& PortNames() const { return mNames; }
  int Dropped() const;

private:
  struct Port
  {
    std::unique_ptr<RtMidiIn> mIn;
    SpscQueue<TimedMidi, 1024> mQueue;
    std::atomic<int> mDropped{0};
  };
  static void OnMessage(double, std::vector<unsigned char>* message, void* user);

  std::vector<std::unique_ptr<Port>> mPorts;
  std::vector<std::string> mNames;
};

} // namespace standalone
