// zorva: the synthesizer as an application of its own, played from MIDI
// keyboards through JACK, ALSA or PulseAudio, optionally under a session
// manager.
#include "apps/instrument/zorva_instrument.h"
#include "apps/standalone/audio_engine.h"
#include "apps/standalone/check_update.h"
#include "apps/standalone/midi_input.h"
#include "apps/standalone/nsm_client.h"
#include "apps/standalone/options.h"
#include "apps/standalone/state_file.h"
#include "plugin/graphics/IGraphicsFactory.h"

#ifdef ZORVA_HAVE_X11
#include "apps/standalone/standalone_graphics.h"
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace standalone;

enum ExitStatus { kExitOk = 0, kExitAudioFailed = 1, kExitBadArguments = 2, kExitBadInput = 3 };

// Two self-pipes: one for the main loop, one for the QuitGuard.
int gSignalPipe[2] = {-1, -1};
int gGuardPipe[2] = {-1, -1};

void OnSignal(int)
{
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(gSignalPipe[1], &byte, 1);
  n = write(gGuardPipe[1], &byte, 1);
  errno = saved;
}

bool InstallSignalHandlers()
{
  if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0 || pipe2(gGuardPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    return false;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

// Audio systems can stall when opened (a hung server, a device that never
// answers): the app says so and exits rather than hang.
class Watchdog
{
public:
  Watchdog(std::chrono::seconds limit, std::string message)
      : mThread([this, limit, message] {
          std::unique_lock lock(mMutex);
          if (!mDone.wait_for(lock, limit, [this] { return mFinished; })) {
            std::cerr << "zorva: " << message << "\n";
            _exit(kExitAudioFailed);
          }
        })
  {
  }
  ~Watchdog()
  {
    {
      std::lock_guard lock(mMutex);
      mFinished = true;
    }
    mDone.notify_one();
    mThread.join();
  }

private:
  std::mutex mMutex;
  std::condition_variable mDone;
  bool mFinished = false;
  std::thread mThread;
};

// A menu, message box or file chooser of the panel runs its own event loop, in
// which the main loop cannot see a quit signal. If the main loop has not
// answered a signal within two seconds, this thread quits for it: audio off,
// the state saved (the nested loop has let go of the plug-in lock), exit.
class QuitGuard
{
public:
  QuitGuard(AudioEngine& audio, Zorva& plug, std::function<void()> save)
      : mAudio(audio), mPlug(plug), mSave(std::move(save)), mThread([this] { Run(); })
  {
  }
  ~QuitGuard()
  {
    mStop = true;
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(gGuardPipe[1], &byte, 1);
    mThread.join();
  }
  // The main loop has seen the signal and quits by itself.
  void Acknowledge() { mAcknowledged = true; }

private:
  void Run()
  {
    pollfd fd = {gGuardPipe[0], POLLIN, 0};
    while (!mStop && poll(&fd, 1, -1) >= 0 && !mStop) {
      char bytes[16];
      if (read(gGuardPipe[0], bytes, sizeof bytes) <= 0) continue;
      for (int i = 0; i < 200 && !mAcknowledged && !mStop; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (mAcknowledged || mStop) return;
      std::cerr << "zorva: quitting from inside a dialog of the panel\n";
      mAudio.Stop();
      bool saved = false;
      for (int i = 0; i < 100 && !saved; ++i) {
        if (mPlug.GetMutex().TryEnter()) {
          mSave();
          mPlug.GetMutex().Leave();
          saved = true;
        } else {
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
      }
      if (!saved) std::cerr << "zorva: the sound was not saved: the panel kept the instrument busy\n";
      _exit(saved ? kExitOk : kExitAudioFailed);
    }
  }

  AudioEngine& mAudio;
  Zorva& mPlug;
  std::function<void()> mSave;
  std::atomic<bool> mStop{false};
  std::atomic<bool> mAcknowledged{false};
  std::thread mThread;
};

int Fail(int status, const std::string& message)
{
  std::cerr << "zorva: " << message << "\n";
  if (status == kExitBadArguments) std::cerr << "Try 'zorva --help' for more information.\n";
  return status;
}

[[maybe_unused]] std::string ProgramName(Zorva& plug)
{
  MutexLock lock(plug.GetMutex());
  return plug.GetPresetName(plug.GetCurrentPresetIdx());
}

// The window of the panel, when this build has one and a display is there.
class Window
{
public:
  explicit Window(Zorva& plug) : mPlug(plug) {}
  ~Window() { Close(); }

  bool Open()
  {
#ifdef ZORVA_HAVE_X11
    auto* gui = dynamic_cast<StandaloneGraphics*>(mPlug.GetGUI());
    if (!gui) return false;
    if (!mOpen) mOpen = gui->OpenWindow(nullptr) != nullptr;
    mTitle.clear();
    Update();
#endif
    return mOpen;
  }
  void Close()
  {
#ifdef ZORVA_HAVE_X11
    if (mOpen) {
      MutexLock lock(mPlug.GetMutex());
      static_cast<StandaloneGraphics*>(mPlug.GetGUI())->CloseWindow();
    }
#endif
    mOpen = false;
  }
  bool IsOpen() const
  {
    return mOpen;
  }
  // How long the main loop may sleep: until the panel's next timer tick.
  int Timeout() const
  {
#ifdef ZORVA_HAVE_X11
    if (mOpen) return std::max(1, static_cast<StandaloneGraphics*>(mPlug.GetGUI())->MillisecondsToNextTick());
#endif
    return 200;
  }
  int Fd() const
  {
#ifdef ZORVA_HAVE_X11
    if (mOpen) return static_cast<StandaloneGraphics*>(mPlug.GetGUI())->ConnectionNumber();
#endif
    return -1;
  }
  // Events and the panel's timer; false once the user closed the window.
  bool Update()
  {
#ifdef ZORVA_HAVE_X11
    if (!mOpen) return true;
    auto* gui = static_cast<StandaloneGraphics*>(mPlug.GetGUI());
    const bool alive = gui->RunEvents();
    const std::string title = ProgramName(mPlug);
    if (title != mTitle) {
      mTitle = title;
      gui->SetWindowTitle(title);
    }
    return alive;
#else
    return true;
#endif
  }

private:
  Zorva& mPlug;
  bool mOpen = false;
  std::string mTitle;
};

std::string ExecutableName(const char* argv0)
{
  return std::filesystem::path(argv0 ? argv0 : "zorva").filename().string();
}

// Waits for the session manager's answer and its open request.
bool WaitForSession(NsmClient& nsm, NsmClient::OpenRequest& open, std::string& error)
{
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd fds[2] = {{nsm.Fd(), POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
    poll(fds, 2, 100);
    if (fds[1].revents) {
      error = "interrupted while waiting for the session manager";
      return false;
    }
    nsm.Process();
    if (!nsm.Refusal().empty()) {
      error = "the session manager refused us: " + nsm.Refusal();
      return false;
    }
    if (auto request = nsm.TakeOpen()) {
      open = *request;
      return true;
    }
  }
  error = "the session manager did not ask us to open a session within 20 s";
  return false;
}

} // namespace

int main(int argc, char** argv)
{
  Options options;
  std::string error;
  if (!ParseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
    return Fail(kExitBadArguments, error);
  if (options.mHelp) {
    std::cout << UsageText();
    return kExitOk;
  }
  if (options.mCheckUpdate) return runCheckUpdate(std::cout);
  // A JACK client must not start a server behind the user's back (and hang
  // if it cannot).
  setenv("JACK_NO_START_SERVER", "1", 0);
  if (options.mListDevices) {
    if (!ListAudioDevices(options.mAudio.mApi, std::cout, error)) return Fail(kExitAudioFailed, error);
    return kExitOk;
  }
  if (!InstallSignalHandlers()) return Fail(kExitAudioFailed, "cannot install the signal handlers");

  // Under a session manager the sound belongs to the session.
  std::unique_ptr<NsmClient> nsm;
  std::string statePath = DefaultStatePath();
  NsmClient::OpenRequest session;
  const char* nsmUrl = std::getenv("NSM_URL");
  bool wantGui = !options.mNoGui;
#ifndef ZORVA_HAVE_X11
  wantGui = false;
#endif
  if (nsmUrl && *nsmUrl) {
    nsm = std::make_unique<NsmClient>();
    if (!nsm->Announce(nsmUrl, ExecutableName(argv[0]), wantGui, error) ||
        !WaitForSession(*nsm, session, error))
      return Fail(kExitAudioFailed, error);
    std::error_code ec;
    std::filesystem::create_directories(session.mPath, ec);
    statePath = (std::filesystem::path(session.mPath) / "standalone.state").string();
    options.mAudio.mClientName = session.mClientId;
  }

#ifdef ZORVA_HAVE_X11
  if (wantGui) SetGraphicsFactory(&StandaloneGraphics::Create);
#endif
  auto instrument = std::make_unique<ZorvaInstrument>();
  // The app still plays without its factory bank, so it only says so.
  if (std::string missing; !instrument->CheckResources(missing))
    std::cerr << "zorva: warning: " << missing << "\n";
  Zorva& plug = instrument->plug();
  plug.SetRenderingOffline(false);

  // A state file that is there but cannot be read is kept for the user to
  // look at: we run on defaults and never overwrite it.
  bool mayWriteState = true;
  if (LoadStateFile(plug, statePath, error) == LoadResult::kUnreadable) {
    std::cerr << "zorva: " << error << "; starting with the factory sound, and the file is left as it is\n";
    mayWriteState = false;
  }
  const int soundStatus = render::ApplySoundOptions(options, *instrument, error);
  if (soundStatus != render::kExitOk) {
    if (nsm) nsm->Error("/nsm/client/open", -1, error);
    return Fail(soundStatus == render::kExitBadInput ? kExitBadInput : kExitBadArguments, error);
  }

  MidiInput midi;
  AudioEngine audio(plug, midi);
  {
    Watchdog watchdog(std::chrono::seconds(20), "the audio system did not answer within 20 s");
    std::string warning;
    bool ok = audio.Open(options.mAudio, error) &&
              midi.Open(audio.UsesJack(), options.mAudio.mClientName, options.mMidiPort, error, warning);
    if (!warning.empty()) std::cerr << "zorva: " << warning << "\n";
    ok = ok && audio.Run(error);
    if (!ok) {
      if (nsm) nsm->Error("/nsm/client/open", -1, error);
      return Fail(kExitAudioFailed, error);
    }
  }
  std::cerr << "zorva: playing through " << audio.ApiName() << " \"" << audio.DeviceName() << "\" at "
            << audio.Rate() << " Hz, " << audio.BufferFrames() << " frames per period, latency "
            << audio.StreamLatency() << " frames";
  const char* separator = "; MIDI from ";
  for (const std::string& port : midi.PortNames()) {
    std::cerr << separator << port;
    separator = ", ";
  }
  std::cerr << "\n";

  Window window(plug);
  if (wantGui && !window.Open()) std::cerr << "zorva: no display: running without the panel\n";
  if (nsm) {
    nsm->Reply("/nsm/client/open", mayWriteState ? "Loaded." : "Started with defaults.");
    if (wantGui) nsm->GuiShown(window.IsOpen());
  }

  // Quitting saves the sound by itself only outside a session: a session
  // manager asks for saving explicitly.
  auto saveAtQuit = [&]() {
    if (nsm) return true;
    if (!mayWriteState) {
      std::cerr << "zorva: the sound was not saved: " << statePath << " could not be read at start\n";
      return true;
    }
    std::string why;
    if (SaveStateFile(plug, statePath, why)) return true;
    std::cerr << "zorva: the sound was not saved: " << why << "\n";
    return false;
  };
  std::unique_ptr<QuitGuard> guard;
  if (wantGui) guard = std::make_unique<QuitGuard>(audio, plug, [&] { saveAtQuit(); });

  int status = kExitOk;
  for (bool running = true; running;) {
    pollfd fds[3] = {
        {gSignalPipe[0], POLLIN, 0}, {nsm ? nsm->Fd() : -1, POLLIN, 0}, {window.Fd(), POLLIN, 0}};
    poll(fds, 3, window.Timeout());
    if (fds[0].revents) {
      if (guard) guard->Acknowledge();
      break;
    }
    if (!window.Update()) {
      window.Close();
      // Under a session manager closing the window only hides the panel.
      if (nsm)
        nsm->GuiShown(false);
      else
        break;
    }
    if (nsm) {
      nsm->Process();
      if (nsm->TakeSave()) {
        if (!mayWriteState) {
          nsm->Error("/nsm/client/save", -1, statePath + " could not be read at start and is left as it is");
        } else if (SaveStateFile(plug, statePath, error)) {
          nsm->Reply("/nsm/client/save", "Saved.");
        } else {
          nsm->Error("/nsm/client/save", -1, error);
        }
      }
      if (auto show = nsm->TakeGuiRequest()) {
        if (*show)
          window.Open();
        else
          window.Close();
        nsm->GuiShown(window.IsOpen());
      }
      if (nsm->TakeOpen()) nsm->Error("/nsm/client/open", -8, "switching sessions is not supported");
    }
    if (!audio.IsRunning()) {
      std::cerr << "zorva: the audio stream stopped (" << audio.ApiName() << " server gone?)\n";
      status = kExitAudioFailed;
      running = false;
    }
  }

  guard.reset();
  audio.Stop();
  midi.Close();
  window.Close();
  if (audio.SilentBlocks() > 0)
    std::cerr << "zorva: " << audio.SilentBlocks()
              << " audio periods were left silent while the panel was busy\n";
  if (midi.Dropped() > 0) std::cerr << "zorva: " << midi.Dropped() << " MIDI messages were dropped\n";
  if (!saveAtQuit() && status == kExitOk) status = kExitAudioFailed;
  return status;
}
