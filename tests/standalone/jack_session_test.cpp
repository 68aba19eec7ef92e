// zorva end to end on a JACK server of its own (the dummy driver, no sound
// card): a note from a JACK MIDI client sounds exactly as zorva-render
// renders it, the sound is kept at quit, a session manager can open and save
// it, and audio failures end the app with a message.
#include "tests/common/samples.h"
#include "tests/common/test_folder.h"
#include "tests/common/xvfb.h"
#include "tests/render/midi_builder.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <lo/lo.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kRate = 44100;

// A child process with extra environment (env(1) puts it in place of the
// inherited values of the same names), stderr captured into a file.
class Child
{
public:
  Child(std::vector<std::string> args, const std::vector<std::string>& env, const fs::path& log)
  {
    args.insert(args.begin(), env.begin(), env.end());
    args.insert(args.begin(), "/usr/bin/env");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&mPid, argv[0], &actions, nullptr, argv.data(), environ) != 0) mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Child()
  {
    if (mPid > 0 && !mExited) {
      kill(mPid, SIGKILL);
      waitpid(mPid, nullptr, 0);
    }
  }
  // The exit status, or -1 if it did not end in time.
  int Wait(double seconds)
  {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      int status = 0;
      if (waitpid(mPid, &status, WNOHANG) == mPid) {
        mExited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(20ms);
    }
    return -1;
  }
  void Signal(int sig) { kill(mPid, sig); }

private:
  pid_t mPid = -1;
  bool mExited = false;
};

// A JACK client that plays the keyboard and the recorder: a MIDI output and
// two audio inputs, recorded from the moment the note is sent.
class Probe
{
public:
  static constexpr int kFrames = kRate * 2;

  Probe() : mClient(jack_client_open("zorva_probe", JackNoStartServer, nullptr)) {}
  ~Probe()
  {
    if (mClient) jack_client_close(mClient);
  }
  // Waits for zorva's ports, then adds ours and connects them. Ours appear
  // only now, so zorva (which listens to every MIDI port present when it
  // starts) hears the probe through its own port alone.
  bool ConnectTo(const std::string& client, double seconds)
  {
    if (!mClient) return false;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    const char **midi = nullptr, **audio = nullptr;
    bool ready = false;
    while (!ready && Clock::now() < end) {
      jack_free(midi);
      jack_free(audio);
      midi = jack_get_ports(mClient, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput);
      audio =
          jack_get_ports(mClient, ("^" + client + ":").c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput);
      ready = midi && midi[0] && audio && audio[0] && audio[1];
      if (!ready) std::this_thread::sleep_for(50ms);
    }
    if (ready) {
      mMidi = jack_port_register(mClient, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
      mIn[0] = jack_port_register(mClient, "in_l", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
      mIn[1] = jack_port_register(mClient, "in_r", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
      jack_set_process_callback(mClient, &Probe::Process, this);
      jack_set_xrun_callback(mClient, &Probe::Xrun, this);
      ready = jack_activate(mClient) == 0 && jack_connect(mClient, jack_port_name(mMidi), midi[0]) == 0 &&
              jack_connect(mClient, audio[0], jack_port_name(mIn[0])) == 0 &&
              jack_connect(mClient, audio[1], jack_port_name(mIn[1])) == 0;
    }
    jack_free(midi);
    jack_free(audio);
    return ready;
  }
  // Note on now, note off after holdFrames, recording meanwhile.
  void PlayNote(int note, int holdFrames)
  {
    mNote = note;
    mHold = holdFrames;
    mState.store(1);
  }
  bool Done() const { return mState.load() == 3; }
  // Periods the server missed: their audio is lost or repeated.
  int Xruns() const { return mXruns.load(); }
  const std::vector<float>& Channel(int c) const { return mRecord[c]; }

private:
  // Only while recording: connecting ports may report one as well.
  static int Xrun(void* user)
  {
    auto* self = static_cast<Probe*>(user);
    const int state = self->mState.load();
    if (state == 1 || state == 2) ++self->mXruns;
    return 0;
  }
  static int Process(jack_nframes_t n, void* user)
  {
    auto* self = static_cast<Probe*>(user);
    void* midi = jack_port_get_buffer(self->mMidi, n);
    jack_midi_clear_buffer(midi);
    const int state = self->mState.load();
    if (state == 0 || state == 3) return 0;
    if (state == 1) {
      const jack_midi_data_t on[3] = {0x90, jack_midi_data_t(self->mNote), 100};
      jack_midi_event_write(midi, 0, on, 3);
      self->mState.store(2);
    }
    if (self->mPos <= self->mHold && self->mPos + int(n) > self->mHold) {
      const jack_midi_data_t off[3] = {0x80, jack_midi_data_t(self->mNote), 0};
      jack_midi_event_write(midi, jack_nframes_t(self->mHold - self->mPos), off, 3);
    }
    for (int c = 0; c < 2; ++c) {
      const float* in = static_cast<const float*>(jack_port_get_buffer(self->mIn[c], n));
      for (jack_nframes_t i = 0; i < n && self->mPos + int(i) < kFrames; ++i)
        self->mRecord[c][size_t(self->mPos) + i] = in[i];
    }
    self->mPos += int(n);
    if (self->mPos >= kFrames) self->mState.store(3);
    return 0;
  }

  jack_client_t* mClient = nullptr;
  jack_port_t* mMidi = nullptr;
  jack_port_t* mIn[2] = {nullptr, nullptr};
  std::vector<float> mRecord[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
  std::atomic<int> mState{0};
  std::atomic<int> mXruns{0};
  int mNote = 60, mHold = 0, mPos = 0;
};

class ZorvaOnJack : public testing::Test
{
protected:
  void SetUp() override
  {
    fs::create_directories(mDir / "config");
    // A server killed hard leaves its name in JACK's registry, which holds
    // few: the tests use the first of four names that no server answers, so a
    // stale entry is reused rather than a new one taken.
    for (int i = 0; i < 4 && mServer.empty(); ++i)
      if (!Answers("zorva_test_" + std::to_string(i))) mServer = "zorva_test_" + std::to_string(i);
    ASSERT_FALSE(mServer.empty()) << "four JACK test servers are running already";
    setenv("JACK_DEFAULT_SERVER", mServer.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    mJack.reset(new Child(
        {JACKD, "--no-realtime", "-n", mServer, "-d", "dummy", "-r", std::to_string(kRate), "-p", "256"}, {},
        mDir / "jackd.log"));
    bool ready = false;
    for (int i = 0; i < 100 && !ready; ++i) {
      std::this_thread::sleep_for(50ms);
      ready = Answers(mServer);
    }
    ASSERT_TRUE(ready) << readFile(mDir / "jackd.log");
  }
  // Whether the JACK server of that name takes a client.
  static bool Answers(const std::string& server)
  {
    jack_client_t* c = jack_client_open("zorva_ping", JackOptions(JackNoStartServer | JackServerName),
                                        nullptr, server.c_str());
    if (c) jack_client_close(c);
    return c != nullptr;
  }
  void TearDown() override
  {
    if (mJack) {
      mJack->Signal(SIGTERM);
      if (mJack->Wait(5) < 0) mJack.reset(); // killed
    }
  }

  std::vector<std::string> Env() const
  {
    return {"ZORVA_CONFIG_DIR=" + (mDir / "config").string(), "XDG_STATE_HOME=" + (mDir / "state").string(),
            "ZORVA_RESOURCES=" ZORVA_SHARE_DIR};
  }
  std::unique_ptr<Child> StartZorva(std::vector<std::string> args, std::vector<std::string> env = {})
  {
    args.insert(args.begin(), {ZORVA_EXE, "--audio-api", "jack", "--no-gui"});
    for (const auto& e : Env()) env.push_back(e);
    return std::make_unique<Child>(args, env, mDir / "zorva.log");
  }
  std::string Log() const { return readFile(mDir / "zorva.log"); }

  TempFolder mFolder{"zorva-jack"};
  const fs::path mDir = mFolder.dir();
  std::string mServer;
  std::unique_ptr<Child> mJack;
};

size_t Onset(const std::vector<float>& x)
{
  return size_t(std::find_if(x.begin(), x.end(), [](float v) { return v != 0.0f; }) - x.begin());
}

TEST_F(ZorvaOnJack, NoteSoundsAsRenderedAndTheSoundIsKeptAtQuit)
{
  // A loaded machine makes the server miss periods, which loses audio that
  // the app rendered: such a take is played again on a fresh instance.
  std::unique_ptr<Child> zorva;
  std::unique_ptr<Probe> probe;
  for (int take = 0; take < 4; ++take) {
    if (zorva) {
      zorva->Signal(SIGTERM);
      zorva->Wait(10);
    }
    zorva = StartZorva({"--init"});
    probe = std::make_unique<Probe>();
    ASSERT_TRUE(probe->ConnectTo("Zorva", 10)) << Log();
    std::this_thread::sleep_for(300ms); // the filters settle after activation
    probe->PlayNote(60, kRate / 2);
    for (int i = 0; i < 400 && !probe->Done(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(probe->Done());
    if (probe->Xruns() == 0) break;
  }
  ASSERT_EQ(probe->Xruns(), 0) << "every take lost periods: the machine is too busy";

  // The same note through the renderer: on at 0.5 s, off at 1 s.
  using namespace render_test;
  const Bytes smf = Smf(0, 480, {Track().Ev(480, {0x90, 60, 100}).Ev(480, {0x80, 60, 0}).End()});
  const fs::path mid = mDir / "note.mid", wav = mDir / "note.wav";
  writeFile(mid, std::string(smf.begin(), smf.end()));
  Child render({ZORVA_RENDER_EXE, mid.string(), "-o", wav.string(), "--init", "--length", "2", "--quiet"},
               Env(), mDir / "render.log");
  ASSERT_EQ(render.Wait(30), 0) << readFile(mDir / "render.log");

  // Both start the note on a control step of their own: compare from the
  // onsets, up to the note-off (whose step may differ).
  const int window = kRate * 4 / 10;
  const std::vector<std::vector<float>> wavChannels = readWavChannels(wav);
  ASSERT_EQ(wavChannels.size(), 2u);
  for (int c = 0; c < 2; ++c) {
    const std::vector<float>& played = probe->Channel(c);
    const std::vector<float>& rendered = wavChannels[size_t(c)];
    const size_t a = Onset(played), b = Onset(rendered);
    ASSERT_LT(a + window, played.size()) << "silent or late: channel " << c << "\n" << Log();
    ASSERT_LT(b + window, rendered.size());
    float worst = 0.0f, peak = 0.0f;
    for (int i = 0; i < window; ++i) {
      worst = std::max(worst, std::abs(played[a + size_t(i)] - rendered[b + size_t(i)]));
      peak = std::max(peak, std::abs(rendered[b + size_t(i)]));
    }
    EXPECT_GT(peak, 0.01f);
    EXPECT_LE(worst, 1e-6f * std::max(1.0f, peak)) << "channel " << c;
  }

  zorva->Signal(SIGTERM);
  EXPECT_EQ(zorva->Wait(10), 0) << Log();
  EXPECT_TRUE(fs::is_regular_file(mDir / "state" / "zorva" / "standalone.state"));
}

// The test plays the session manager on an OSC port of its own.
class SessionManager
{
public:
  SessionManager() { lo_server_add_method(mServer, nullptr, nullptr, &SessionManager::OnMessage, this); }
  ~SessionManager()
  {
    if (mClient) lo_address_free(mClient);
    lo_server_free(mServer);
  }
  std::string Url() const
  {
    std::unique_ptr<char, decltype(&free)> url(lo_server_get_url(mServer), &free);
    return url.get();
  }
  // Waits for a message to path; its first string argument (or "").
  bool WaitFor(const std::string& path, double seconds, std::string* first = nullptr)
  {
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      if (auto it = mSeen.find(path); it != mSeen.end()) {
        if (first) *first = it->second;
        mSeen.erase(it);
        return true;
      }
      lo_server_recv_noblock(mServer, 50);
    }
    return false;
  }
  void Send(const char* path, const std::vector<std::string>& args)
  {
    lo_message msg = lo_message_new();
    for (const auto& a : args) lo_message_add_string(msg, a.c_str());
    lo_send_message_from(mClient, mServer, path, msg);
    lo_message_free(msg);
  }

private:
  static int OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg,
                       void* user)
  {
    auto* self = static_cast<SessionManager*>(user);
    if (!self->mClient) {
      char* url = lo_address_get_url(lo_message_get_source(msg));
      self->mClient = lo_address_new_from_url(url);
      std::free(url);
    }
    std::string key = path, first;
    if (argc > 0 && types[0] == 's') first = reinterpret_cast<const char*>(argv[0]);
    // Replies are told apart by the path they answer.
    if (key == "/reply" || key == "/error") {
      key += " " + first;
      first = argc > 1 && types[1] == 's' ? std::string(reinterpret_cast<const char*>(argv[1])) : "";
    }
    self->mSeen.emplace(key, first);
    return 0;
  }

  lo_server mServer = lo_server_new_with_proto(nullptr, LO_UDP, nullptr);
  lo_address mClient = nullptr;
  std::multimap<std::string, std::string> mSeen; // path (and the one a reply answers), first argument
};

TEST_F(ZorvaOnJack, SessionManagerOpensAndSavesInTheSession)
{
  SessionManager nsm;
  auto zorva = StartZorva({}, {"NSM_URL=" + nsm.Url()});
  std::string name;
  ASSERT_TRUE(nsm.WaitFor("/nsm/server/announce", 10, &name)) << Log();
  EXPECT_EQ(name, "Zorva");
  nsm.Send("/reply", {"/nsm/server/announce", "Welcome", "test manager", ":server-control:"});
  const fs::path client = mDir / "session" / "Zorva.nTEST";
  nsm.Send("/nsm/client/open", {client.string(), "session", "Zorva.nTEST"});
  ASSERT_TRUE(nsm.WaitFor("/reply /nsm/client/open", 10)) << Log();
  // The JACK client takes the session's name for it.
  Probe probe;
  EXPECT_TRUE(probe.ConnectTo("Zorva.nTEST", 5));

  nsm.Send("/nsm/client/save", {});
  ASSERT_TRUE(nsm.WaitFor("/reply /nsm/client/save", 10)) << Log();
  EXPECT_TRUE(fs::is_regular_file(client / "standalone.state"));

  // Quitting is not saving: the session is saved only when asked.
  zorva->Signal(SIGTERM);
  EXPECT_EQ(zorva->Wait(10), 0) << Log();
  EXPECT_FALSE(fs::exists(mDir / "state" / "zorva" / "standalone.state"));
}

TEST_F(ZorvaOnJack, AudioFailuresEndTheAppWithAMessage)
{
  auto badDevice = StartZorva({"--device", "99"});
  EXPECT_EQ(badDevice->Wait(15), 1);
  EXPECT_NE(Log().find("\"99\""), std::string::npos) << Log();

  auto noServer = StartZorva({}, {"JACK_DEFAULT_SERVER=zorva_no_such_server"});
  EXPECT_EQ(noServer->Wait(15), 1);
  EXPECT_NE(Log().find("no JACK server"), std::string::npos) << Log();

  // A state file we cannot read is kept as it is.
  fs::create_directories(mDir / "state" / "zorva");
  writeFile(mDir / "state" / "zorva" / "standalone.state", "damaged");
  auto zorva = StartZorva({});
  Probe probe;
  ASSERT_TRUE(probe.ConnectTo("Zorva", 10)) << Log();
  zorva->Signal(SIGTERM);
  EXPECT_EQ(zorva->Wait(10), 0);
  EXPECT_EQ(readFile(mDir / "state" / "zorva" / "standalone.state"), "damaged");
  EXPECT_NE(Log().find("not saved"), std::string::npos);
}

#ifdef ZORVA_TEST_X11
TEST_F(ZorvaOnJack, WindowShowsTheProgramAndQuitsFromAnOpenMenu)
{
  const XvfbServer xvfb("1280x800x24", XVFB);
  const std::string display = xvfb.Name();
  ASSERT_FALSE(display.empty());
  // No --no-gui here: the window opens on the private display.
  std::vector<std::string> env = Env();
  env.push_back("DISPLAY=" + display);
  Child zorva({ZORVA_EXE, "--audio-api", "jack", "--program", "3"}, env, mDir / "zorva.log");
  // Titled with the program's name; a click there opens a popup menu, whose
  // own event loop then runs.
  Child user({XDOTOOL, "search", "--sync", "--name", "^Square Lead$", "mousemove", "--window", "%1", "400",
              "300", "click", "1"},
             {"DISPLAY=" + display}, mDir / "xdotool.log");
  ASSERT_EQ(user.Wait(15), 0) << Log();
  std::this_thread::sleep_for(500ms);
  zorva.Signal(SIGTERM);
  EXPECT_EQ(zorva.Wait(10), 0) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("inside a dialog"), std::string::npos) << log;
  EXPECT_TRUE(fs::is_regular_file(mDir / "state" / "zorva" / "standalone.state")) << log;
}
#endif

} // namespace
