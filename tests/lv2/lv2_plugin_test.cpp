// The bundle in the build tree, loaded as a host loads it: its ports and
// presets against the parameter table and the factory bank, the float output
// against the renderer's, and the state round trip.

#include "apps/instrument/zorva_instrument.h"
#include "apps/render/midi_file.h"
#include "apps/render/schedule.h"
#include "lv2/zorva_lv2_ports.h"
#include "tests/common/samples.h"
#include "tests/lv2/lv2_host.h"

#include <gtest/gtest.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

// Allocations counted while the plug-in runs: the replacement operator new
// serves the plug-in's shared object too.
static std::atomic<bool> gCountAllocations{false};
static std::atomic<int> gAllocations{0};

void* operator new(size_t size)
{
  if (gCountAllocations.load(std::memory_order_relaxed)) gAllocations.fetch_add(1);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
  std::free(p);
}
void operator delete(void* p, size_t) noexcept
{
  std::free(p);
}

namespace {

const std::string kDemo = ZORVA_TEST_DEMO_MID;
constexpr int kRate = 44100;

// Sets the control buffers as a host does when it applies a preset or state.
struct PortWriter
{
  Lv2Instance* mInst;
  std::vector<int> mWritten;
  int index(const char* symbol) const
  {
    for (int k = 0; k < Lv2Instance::kNumParams; ++k)
      if (mInst->Symbol(k) == symbol) return k;
    return -1;
  }
  static void Set(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type)
  {
    auto* self = static_cast<PortWriter*>(data);
    const int k = self->index(symbol);
    ASSERT_TRUE(k >= 0 && size == sizeof(float) && type == self->mInst->FloatType()) << symbol;
    self->mInst->Control(k) = *static_cast<const float*>(value);
    self->mWritten.push_back(k);
  }
  static const void* Get(const char* symbol, void* data, uint32_t* size, uint32_t* type)
  {
    auto* self = static_cast<PortWriter*>(data);
    *size = sizeof(float);
    *type = self->mInst->FloatType();
    const int k = self->index(symbol);
    return k < 0 ? nullptr : &self->mInst->Control(k);
  }
};

const LV2_State_Interface* stateInterface(Lv2Instance& inst)
{
  return static_cast<const LV2_State_Interface*>(
      lilv_instance_get_extension_data(inst.Instance(), LV2_STATE__interface));
}

class Lv2Test : public ::testing::Test
{
protected:
  void SetUp() override
  {
    // The plug-in must find its bank beside itself, and no user's startup bank.
    unsetenv("ZORVA_RESOURCES");
    setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-lv2-test", 1);
    ASSERT_NE(mHost.Plugin(), nullptr) << "no " << Lv2Host::kPluginURI << " on LV2_PATH";
  }
  Lv2Host mHost;
};

TEST_F(Lv2Test, PortsAreTheParameterTableAndPresetsThePrograms)
{
  const LilvPlugin* plugin = mHost.Plugin();
  // The instrument as the renderer builds it, on the bundle's factory bank.
  setenv("ZORVA_RESOURCES", ZORVA_TEST_LV2_BUNDLE, 1);
  ZorvaInstrument reference;
  unsetenv("ZORVA_RESOURCES");
  Zorva& z = reference.plug();
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), uint32_t(z.NParams() + 3));
  std::vector<float> mins(z.NParams() + 3), maxs(z.NParams() + 3), defs(z.NParams() + 3);
  lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defs.data());
  for (int i = 0; i < z.NParams(); ++i) {
    const IParam* p = z.GetParam(i);
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)),
                 zorva_lv2::portSymbol(p->GetNameForHost()).c_str());
    EXPECT_EQ(mins[i], float(p->GetMin())) << i;
    EXPECT_EQ(maxs[i], float(p->GetMax())) << i;
    EXPECT_EQ(defs[i], float(p->GetDefault())) << i;
    LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
    const int expected = p->Type() == IParam::kTypeEnum ? p->GetNDisplayTexts() : 0;
    ASSERT_EQ(points ? int(lilv_scale_points_size(points)) : 0, expected) << i;
    LILV_FOREACH(scale_points, it, points)
    {
      const LilvScalePoint* point = lilv_scale_points_get(points, it);
      const int value = lilv_node_as_int(lilv_scale_point_get_value(point));
      EXPECT_STREQ(lilv_node_as_string(lilv_scale_point_get_label(point)), p->GetDisplayText(value)) << i;
    }
    lilv_scale_points_free(points);
  }
  // The symbols hosts store in sessions: fixed forever.
  for (auto [idx, symbol] : {std::pair{kFlt1Cutoff, "cutfrq_1"}, {kEnv3Release, "env_3_r"}})
    EXPECT_EQ(zorva_lv2::portSymbol(z.GetParam(idx)->GetNameForHost()), symbol);

  // The presets set the ports to the programs.
  Lv2Instance inst(mHost, kRate, 512);
  ASSERT_TRUE(inst.Ok());
  LilvNode* presetClass = lilv_new_uri(mHost.World(), LV2_PRESETS__Preset);
  LilvNodes* presets = lilv_plugin_get_related(mHost.Plugin(), presetClass);
  ASSERT_EQ(int(lilv_nodes_size(presets)), z.NPresets());
  LILV_FOREACH(nodes, it, presets)
  {
    const LilvNode* node = lilv_nodes_get(presets, it);
    const std::string uri = lilv_node_as_uri(node);
    const int program = std::atoi(uri.substr(uri.find("#preset") + 7).c_str()) - 1;
    ASSERT_TRUE(program >= 0 && program < z.NPresets()) << uri;
    lilv_world_load_resource(mHost.World(), node);
    LilvState* state = lilv_state_new_from_world(mHost.World(), mHost.UridMap(), node);
    ASSERT_NE(state, nullptr) << uri;
    z.RestorePreset(program);
    EXPECT_STREQ(lilv_state_get_label(state), z.GetPresetName(program));
    PortWriter writer{&inst, {}};
    lilv_state_restore(state, inst.Instance(), PortWriter::Set, &writer, 0, nullptr);
    ASSERT_EQ(int(writer.mWritten.size()), z.NParams()) << uri;
    for (int k = 0; k < z.NParams(); ++k)
      EXPECT_EQ(inst.Control(k), float(z.GetParam(k)->Value())) << uri << " " << k;
    lilv_state_free(state);
  }
  lilv_nodes_free(presets);
  lilv_node_free(presetClass);
}

TEST_F(Lv2Test, RunAllocatesNothing)
{
  Lv2Instance inst(mHost, kRate, 256);
  ASSERT_TRUE(inst.Ok());
  // The count sees the plug-in's own allocations: saving builds its chunk.
  const auto* state = stateInterface(inst);
  const LV2_State_Store_Function discard = [](LV2_State_Handle, uint32_t, const void*, size_t, uint32_t,
                                              uint32_t) { return LV2_STATE_SUCCESS; };
  gCountAllocations = true;
  state->save(lilv_instance_get_handle(inst.Instance()), discard, nullptr, 0, nullptr);
  gCountAllocations = false;
  ASSERT_GT(gAllocations.load(), 0);
  inst.Run(256);
  gAllocations = 0;
  for (int b = 0; b < 200; ++b) {
    inst.Position(0, 90.0 + b, b * 0.5, 1.0f);
    inst.Midi(b % 256, 0x90, uint8_t(40 + b % 40), 100);
    inst.Midi(255, 0xE0, 0, uint8_t(b % 128));
    inst.Midi(255, 0xB0, 1, uint8_t(b % 128));
    if (b % 50 == 49) inst.Midi(255, 0xC0, uint8_t(b / 50), 0);
    inst.Control(kFlt1Cutoff) = float(b % 100) / 100.0f;
    inst.Control(kLFO1Sync) = float(b % 2);
    gCountAllocations = true;
    inst.Run(256);
    gCountAllocations = false;
  }
  EXPECT_EQ(gAllocations.load(), 0);
}

// The render loop's host, played through the plug-in: the transport as a
// time:Position at the block's first frame, MIDI at its offsets; the channels
// kept in 32-bit floats, as a float WAV holds them.
struct Lv2Target : render::RenderTarget, render::BlockSink
{
  explicit Lv2Target(Lv2Instance& inst) : mInst(inst) {}
  Lv2Instance& mInst;
  std::vector<float> mData[2];

  void SetTransport(double tempo, double quarterNotes, bool running) override
  {
    mInst.Position(0, tempo, quarterNotes, running ? 1.0f : 0.0f);
  }
  void SendMidi(int offset, uint8_t status, uint8_t data1, uint8_t data2) override
  {
    mInst.Midi(offset, status, data1, data2);
  }
  void ProcessBlock(double* left, double* right, int frames) override
  {
    mInst.Run(frames);
    std::copy(mInst.Left(), mInst.Left() + frames, left);
    std::copy(mInst.Right(), mInst.Right() + frames, right);
  }
  bool IsSounding() const override { return true; }
  bool WriteBlock(const double* left, const double* right, int frames, std::string&) override
  {
    mData[0].insert(mData[0].end(), left, left + frames);
    mData[1].insert(mData[1].end(), right, right + frames);
    return true;
  }
};

class Lv2BlockTest : public Lv2Test, public ::testing::WithParamInterface<int>
{
};

// The renderer's own file, so the float conversion is the one it writes. Each
// block size runs in a process of its own (ctest).
TEST_P(Lv2BlockTest, DemoSongEqualsTheRendererSampleForSample)
{
  const int block = GetParam();
  const std::string wav = ::testing::TempDir() + "/zorva-lv2-demo-" + std::to_string(getpid()) + ".wav";
  const std::string command = std::string(ZORVA_TEST_RENDER_BIN) + " --quiet --format f32 --block " +
                              std::to_string(block) + " " + kDemo + " -o " + wav;
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::vector<std::vector<float>> expected = readWavChannels(wav);
  std::remove(wav.c_str());
  ASSERT_EQ(expected.size(), 2u);
  ASSERT_GT(expected[0].size(), size_t(kRate * 10));

  render::MidiFile song;
  std::string error;
  ASSERT_TRUE(render::ReadMidiFile(kDemo, song, error)) << error;
  Lv2Instance inst(mHost, kRate, block);
  ASSERT_TRUE(inst.Ok());
  Lv2Target target(inst);
  render::RenderSettings settings;
  settings.mBlockSize = block;
  settings.mLengthSeconds = double(expected[0].size()) / kRate;
  const render::RenderResult result = render::RunRender(song, settings, target, target);
  ASSERT_TRUE(result.mOk) << result.mError;
  EXPECT_EQ(firstDifference(target.mData[0], expected[0]), -1);
  EXPECT_EQ(firstDifference(target.mData[1], expected[1]), -1);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, Lv2BlockTest, ::testing::Values(1, 64, 256, 333, 4096));

// The plug-in's state chunk through its own interface, as a host stores it.
struct ChunkStore
{
  std::vector<uint8_t> mBytes;
  uint32_t mType = 0;
  static LV2_State_Status Store(LV2_State_Handle h, uint32_t, const void* value, size_t size, uint32_t type,
                                uint32_t)
  {
    auto* self = static_cast<ChunkStore*>(h);
    const auto* bytes = static_cast<const uint8_t*>(value);
    self->mBytes.assign(bytes, bytes + size);
    self->mType = type;
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle h, uint32_t, size_t* size, uint32_t* type, uint32_t* flags)
  {
    auto* self = static_cast<ChunkStore*>(h);
    *size = self->mBytes.size();
    *type = self->mType;
    *flags = LV2_STATE_IS_POD;
    return self->mBytes.data();
  }
};

ChunkStore saveChunk(Lv2Instance& inst)
{
  const auto* state = stateInterface(inst);
  ChunkStore store;
  EXPECT_EQ(state->save(lilv_instance_get_handle(inst.Instance()), ChunkStore::Store, &store, 0, nullptr),
            LV2_STATE_SUCCESS);
  return store;
}

// One note, from silence.
std::vector<float> playNote(Lv2Instance& inst)
{
  inst.Reactivate();
  std::vector<float> out;
  for (int b = 0; b < 40; ++b) {
    if (b == 0) inst.Midi(10, 0x90, 57, 100);
    if (b == 30) inst.Midi(3, 0x80, 57, 0);
    inst.Run(512);
    out.insert(out.end(), inst.Left(), inst.Left() + 512);
    out.insert(out.end(), inst.Right(), inst.Right() + 512);
  }
  return out;
}

TEST_F(Lv2Test, StateRestoresEverythingAndRefusesDamagedChunks)
{
  Lv2Instance inst(mHost, kRate, 512);
  ASSERT_TRUE(inst.Ok());
  // A program chosen by MIDI, then a port moved by the host.
  inst.Midi(0, 0xC0, 5, 0);
  inst.Run(64);
  inst.Control(kFlt2Cutoff) = 0.25f;
  inst.Control(kOsc2Pitch) = 7.0f;
  inst.Run(64);
  PortWriter ports{&inst, {}};
  LilvState* saved =
      lilv_state_new_from_instance(mHost.Plugin(), inst.Instance(), mHost.UridMap(), nullptr, nullptr,
                                   nullptr, nullptr, PortWriter::Get, &ports, 0, nullptr);
  ASSERT_NE(saved, nullptr);
  const ChunkStore before = saveChunk(inst);
  const std::vector<float> sound = playNote(inst);

  // Change everything: another program, every port elsewhere.
  inst.Midi(0, 0xC0, 40, 0);
  inst.Run(64);
  for (int k = 0; k < Lv2Instance::kNumParams; ++k) inst.Control(k) = k % 2 ? 0.0f : 1.0f;
  inst.Run(64);
  ASSERT_NE(saveChunk(inst).mBytes, before.mBytes);

  lilv_state_restore(saved, inst.Instance(), PortWriter::Set, &ports, 0, nullptr);
  inst.Run(64);
  EXPECT_EQ(saveChunk(inst).mBytes, before.mBytes);
  {
    // A session reopened: a fresh instance with the same history length
    // sounds as the saved one did.
    Lv2Instance reopened(mHost, kRate, 512);
    PortWriter reopenedPorts{&reopened, {}};
    lilv_state_restore(saved, reopened.Instance(), PortWriter::Set, &reopenedPorts, 0, nullptr);
    reopened.Run(64);
    reopened.Run(64);
    EXPECT_EQ(saveChunk(reopened).mBytes, before.mBytes);
    EXPECT_EQ(firstDifference(playNote(reopened), sound), -1);
  }
  lilv_state_free(saved);

  // Damaged chunks: each refused, nothing changed.
  const auto* state = stateInterface(inst);
  LV2_Handle handle = lilv_instance_get_handle(inst.Instance());
  std::vector<std::vector<uint8_t>> damaged;
  damaged.push_back({});
  damaged.emplace_back(before.mBytes.begin(), before.mBytes.end() - 1);        // truncated
  damaged.emplace_back(before.mBytes.begin(), before.mBytes.begin() + 400);    // truncated in the programs
  damaged.push_back(before.mBytes), damaged.back().push_back(0);               // trailing byte
  damaged.push_back(before.mBytes), damaged.back()[0] ^= 0xFF;                 // foreign stamp
  damaged.push_back(before.mBytes), std::memset(&damaged.back()[8], 0x7F, 4);  // current program 2139062143
  damaged.push_back(before.mBytes), std::memset(&damaged.back()[12], 0xFF, 3); // name length
  damaged.push_back(before.mBytes), std::memset(&damaged.back()[damaged.back().size() - 8], 0xFF, 8); // NaN
  for (size_t d = 0; d < damaged.size(); ++d) {
    ChunkStore bad{damaged[d], before.mType};
    EXPECT_NE(state->restore(handle, ChunkStore::Retrieve, &bad, 0, nullptr), LV2_STATE_SUCCESS) << d;
    EXPECT_EQ(saveChunk(inst).mBytes, before.mBytes) << d;
  }
}

} // namespace
