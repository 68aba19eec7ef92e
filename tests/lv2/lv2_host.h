#pragma once

// A small LV2 host on lilv, as the tests and the benchmark drive the bundle
// from the build tree (LV2_PATH): URID map, block length option, a control
// buffer per port, an atom sequence of MIDI and time:Position events and
// float outputs.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

class Lv2Host
{
public:
  static constexpr const char* kPluginURI = "urn:tamsodyne:zorva";

  Lv2Host()
  {
    mWorld = lilv_world_new();
    lilv_world_load_all(mWorld);
    LilvNode* uri = lilv_new_uri(mWorld, kPluginURI);
    mPlugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(mWorld), uri);
    lilv_node_free(uri);
    mMap = {this, [](LV2_URID_Map_Handle h, const char* u) { return static_cast<Lv2Host*>(h)->Map(u); }};
  }
  ~Lv2Host() { lilv_world_free(mWorld); }
  Lv2Host(const Lv2Host&) = delete;
  Lv2Host& operator=(const Lv2Host&) = delete;

  LV2_URID Map(const char* uri) { return mIds.emplace(uri, LV2_URID(mIds.size() + 1)).first->second; }

  LilvWorld* World() const { return mWorld; }
  const LilvPlugin* Plugin() const { return mPlugin; }
  LV2_URID_Map* UridMap() { return &mMap; }

private:
  LilvWorld* mWorld = nullptr;
  const LilvPlugin* mPlugin = nullptr;
  std::map<std::string, LV2_URID> mIds;
  LV2_URID_Map mMap;
};

class Lv2Instance
{
public:
  static constexpr int kNumParams = 100;

  Lv2Instance(Lv2Host& host, double rate, int maxBlock) : mHost(host), mMaxBlock(maxBlock)
  {
    mOptions[0] = {
        LV2_OPTIONS_INSTANCE,    0,         host.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
        host.Map(LV2_ATOM__Int), &mMaxBlock};
    mOptions[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    mFeatures[0] = {LV2_URID__map, host.UridMap()};
    mFeatures[1] = {LV2_OPTIONS__options, mOptions};
    mInstance = lilv_plugin_instantiate(host.Plugin(), rate, mFeatureList);
    if (!mInstance) return;
    const LilvPlugin* plugin = host.Plugin();
    std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (int i = 0; i < kNumParams; ++i) {
      mSymbols[i] =
          lilv_node_as_string(lilv_port_get_symbol(plugin, lilv_plugin_get_port_by_index(plugin, i)));
      mControls[i] = defaults[i];
      lilv_instance_connect_port(mInstance, i, &mControls[i]);
    }
    mAtomBuffer.resize(1 << 16);
    lilv_instance_connect_port(mInstance, kNumParams, mAtomBuffer.data());
    mLeft.resize(size_t(maxBlock));
    mRight.resize(size_t(maxBlock));
    lilv_instance_connect_port(mInstance, kNumParams + 1, mLeft.data());
    lilv_instance_connect_port(mInstance, kNumParams + 2, mRight.data());
    lv2_atom_forge_init(&mForge, host.UridMap());
    lilv_instance_activate(mInstance);
    BeginBlock();
  }
  ~Lv2Instance()
  {
    if (!mInstance) return;
    lilv_instance_deactivate(mInstance);
    lilv_instance_free(mInstance);
  }
  Lv2Instance(const Lv2Instance&) = delete;
  Lv2Instance& operator=(const Lv2Instance&) = delete;

  bool Ok() const { return mInstance != nullptr; }
  LilvInstance* Instance() const { return mInstance; }
  float& Control(int idx) { return mControls[idx]; }
  const std::string& Symbol(int idx) const { return mSymbols[idx]; }
  LV2_URID FloatType() { return mHost.Map(LV2_ATOM__Float); }

  // Events for the next Run, in frame order.
  void Midi(int frame, uint8_t status, uint8_t d1, uint8_t d2)
  {
    const uint8_t msg[3] = {status, d1, d2};
    const int size = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
    lv2_atom_forge_frame_time(&mForge, frame);
    lv2_atom_forge_atom(&mForge, uint32_t(size), mHost.Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&mForge, msg, uint32_t(size));
  }
  void Position(int frame, double bpm, double quarterNotes, float speed)
  {
    LV2_Atom_Forge_Frame obj;
    lv2_atom_forge_frame_time(&mForge, frame);
    lv2_atom_forge_object(&mForge, &obj, 0, mHost.Map(LV2_TIME__Position));
    lv2_atom_forge_key(&mForge, mHost.Map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_double(&mForge, bpm);
    lv2_atom_forge_key(&mForge, mHost.Map(LV2_TIME__beat));
    lv2_atom_forge_double(&mForge, quarterNotes);
    lv2_atom_forge_key(&mForge, mHost.Map(LV2_TIME__speed));
    lv2_atom_forge_float(&mForge, speed);
    lv2_atom_forge_pop(&mForge, &obj);
  }
  // Runs one block; the outputs are Left()/Right().
  void Run(int frames)
  {
    lv2_atom_forge_pop(&mForge, &mSeqFrame);
    lilv_instance_run(mInstance, uint32_t(frames));
    BeginBlock();
  }
  const float* Left() const { return mLeft.data(); }
  const float* Right() const { return mRight.data(); }
  void Reactivate()
  {
    lilv_instance_deactivate(mInstance);
    lilv_instance_activate(mInstance);
  }

private:
  void BeginBlock()
  {
    lv2_atom_forge_set_buffer(&mForge, mAtomBuffer.data(), mAtomBuffer.size());
    lv2_atom_forge_sequence_head(&mForge, &mSeqFrame, 0);
  }

  Lv2Host& mHost;
  int32_t mMaxBlock;
  LV2_Options_Option mOptions[2];
  LV2_Feature mFeatures[2];
  const LV2_Feature* mFeatureList[3] = {&mFeatures[0], &mFeatures[1], nullptr};
  LilvInstance* mInstance = nullptr;
  float mControls[kNumParams] = {};
  std::string mSymbols[kNumParams];
  std::vector<uint8_t> mAtomBuffer;
  std::vector<float> mLeft, mRight;
  LV2_Atom_Forge mForge;
  LV2_Atom_Forge_Frame mSeqFrame;
};
