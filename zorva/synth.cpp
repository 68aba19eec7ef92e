#include "zorva/synth.h"

#include "ini/profile_ini.h"
#include "plugin/ResourceFolder.h"
#include "plugin/graphics/IControl.h"
#include "plugin/graphics/IGraphics.h"
#include "plugin/graphics/IGraphicsFactory.h"
#include "zorva/engine/pitch.h"
#include "zorva/zorva_param.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {
const char* const kStartupBankSection = "Startup Bank";
const char* const kStartupBankKey = "File";
const char* const kMidiControlSection = "MIDI Control";
const char* const kFactoryBankName = "init.fxb";
const char* const kIniFileName = "zorva.ini";

std::string withTrailingSlash(std::string folder)
{
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

const char* nonEmptyEnv(const char* name)
{
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// Creates the configuration folder on first write: a fresh user account has no
// ~/.config/zorva, and the INI store would silently fail to write into it.
void ensureFolderOf(const std::string& path)
{
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
}

// Thrown into the INI error handlers when the store refuses a write (for
// example a path containing a line break), which it reports only by its result.
struct IniWriteRefused
{
};

void checkWrite(int result)
{
  if (!result) throw IniWriteRefused{};
}

// A hostile bank may hold NaN or out-of-range floats; a parameter must never
// leave its range.
double saneNormalized(float value)
{
  const double n = value;
  return n >= 0.0 ? (n <= 1.0 ? n : 1.0) : 0.0;
}
} // namespace

IPluginInstanceInfo Synth::defaultInstanceInfo()
{
  return {"com.tamsodyne.audiounit.Zorva", "Zorva_View"};
}

Synth::Synth(IPluginInstanceInfo instanceInfo)
    : IPluginAdapter(instanceInfo, kNumParams, "0-1 0-2", kNumPrograms, "Zorva", "", "Tamsodyne", 0x00020104,
                     FourCC("1r76"), FourCC("Tams"), 0, true, false, true)
{
  std::fill(std::begin(midiCCParam), std::end(midiCCParam), -1);
  clearKeyBuffer();
  SetOutputLabel(0, "Zorva ");
  SetOutputLabel(1, "Zorva ");

  graphics = MakeGraphics(this, kEditorWidth, kEditorHeight, kEditorFPS);
  graphics->PluginPath(&fileFolder);
  fileFolder = withTrailingSlash(fileFolder);
  iniPath = configFilePath();
  loadConfig();
  clipboardProgram = -1;
}

Synth::~Synth()
{
  // Normally attached and so owned by the plug-in base.
  if (graphics && GetGUI() != graphics) delete graphics;
}

// --- MIDI input ---

void Synth::ProcessMidiMsg(IMidiMsg* msg)
{
  switch (msg->StatusMsg()) {
  case IMidiMsg::kNoteOff:
  case IMidiMsg::kNoteOn:
    // Data bytes above 127 are not MIDI; a note beyond the pitch tables must
    // never reach a voice.
    if (msg->mData1 > 127 || msg->mData2 > 127) return;
    break;
  case IMidiMsg::kChannelAftertouch:
  case IMidiMsg::kPitchWheel: break;
  case IMidiMsg::kControlChange: {
    const int cc = msg->ControlChangeIdx();
    // Channel-mode messages are queued like notes: a host hands a whole block
    // over before rendering it, and an "all notes off" acted on at once would
    // come before the notes it follows and leave them hanging.
    if (cc > IMidiMsg::kLocalControl) break;
    if (midiLearnActive) {
      // 120-122 have no entry in the controller table: learn keeps waiting.
      if (cc < kNumLearnableControllers) {
        midiLearnCC = cc;
        applyMidiLearn();
      }
      return;
    }
    break;
  }
  case IMidiMsg::kProgramChange: break; // applied at its frame, like a channel-mode message
  default: return;
  }

  // Rounds the message to the nearest control step rather than the next one.
  IMidiMsg queued = *msg;
  if (queued.mOffset > controlStep) queued.mOffset += controlStep / 2;
  // Nothing overtakes a message that arrived before it, not even one left over
  // from the previous block: a note-on and the "all notes off" after it must
  // act in that order.
  if (const IMidiMsg* last = midiQueue.Back()) queued.mOffset = std::max(queued.mOffset, last->mOffset);
  midiQueue.Add(queued);
}

void Synth::Reset()
{
  MutexLock lock(mMutex);
  midiQueue.Resize(GetBlockSize());
  clearKeyBuffer();
  midiLearnActive = false;
  const double rate = GetSampleRate();
  const int intRate = rate >= 1.0 && rate < double(INT_MAX) ? int(rate) : 0;
  controlStep = intRate / 1000;
  controlStepLeft = 0;

  // A program change to a never-used slot stores the current sound there. It
  // comes due on the audio thread, so the slot's storage is made ready now.
  ByteChunk state;
  SerializeState(&state);
  for (int i = 0; i < NPresets(); ++i) {
    IPreset* preset = GetPreset(i);
    if (preset->mInitialized) continue;
    preset->mChunk.Resize(state.Size());
    preset->mChunk.Clear();
  }
}

void Synth::OnActivate(bool active)
{
  MutexLock lock(mMutex);
  if (active) resendAllParams();
}

void Synth::OnParamChange(int paramIdx)
{
  MutexLock lock(mMutex);
  if (midiLearnActive && resendDepth == 0) {
    midiLearnParam = paramIdx;
    applyMidiLearn();
  }
}

int Synth::UnserializeState(const ByteChunk* chunk, int startPos)
{
  MutexLock lock(mMutex);
  ++resendDepth;
  const int pos = IPluginAdapter::UnserializeState(chunk, startPos);
  --resendDepth;
  return pos;
}

void Synth::resendAllParams()
{
  MutexLock lock(mMutex);
  ++resendDepth;
  OnParamReset();
  --resendDepth;
}

// --- MIDI learn ---

void Synth::doMidiLearn(bool on)
{
  midiUnlearnMode = false;
  midiLearnActive = on;
  midiLearnCC = -1;
  midiLearnParam = -1;
}

void Synth::doMidiUnlearn(bool on)
{
  midiUnlearnMode = true;
  midiLearnActive = on;
  midiLearnCC = -1;
  midiLearnParam = -1;
}

void Synth::setMidiLearnParam(int index)
{
  midiLearnParam = index;
  applyMidiLearn();
}

void Synth::setMidiLearnCC(int cc)
{
  midiLearnCC = cc;
  applyMidiLearn();
}

void Synth::applyMidiLearn()
{
  if (midiLearnActive) {
    // A controller without a table entry counts as not yet received.
    const bool haveCC = midiLearnCC >= 0 && midiLearnCC < kNumLearnableControllers;
    const bool haveParam = midiLearnParam != -1;
    auto unbindParam = [this]() {
      for (int& entry : midiCCParam) {
        if (entry == midiLearnParam) entry = -1;
      }
    };

    if (!midiUnlearnMode) {
      if (!haveCC || !haveParam) return;
      unbindParam();
      midiCCParam[midiLearnCC] = midiLearnParam;
      midiLearnActive = false;
    } else {
      if (haveCC)
        midiCCParam[midiLearnCC] = -1;
      else if (haveParam)
        unbindParam();
      else
        return;
      midiLearnActive = false;
      midiUnlearnMode = false;
    }
  }

  if (midiLearnControl) {
    midiLearnControl->SetValueFromPlug(0.0);
    midiLearnControl->SetDirty(true);
  }
}

// --- key buffer ---

void Synth::clearKeyBuffer()
{
  std::fill(std::begin(pressedKeys), std::end(pressedKeys), kNoKey);
  numPressedKeys = 0;
}

void Synth::addPressedKey(int note)
{
  if (numPressedKeys >= kNumKeys) return;
  int slot = 0;
  while (slot < numPressedKeys && pressedKeys[slot] < note) ++slot;
  if (slot < numPressedKeys) {
    if (pressedKeys[slot] == note) return;
    std::memmove(&pressedKeys[slot + 1], &pressedKeys[slot], sizeof(int) * (numPressedKeys - slot));
  }
  pressedKeys[slot] = note;
  ++numPressedKeys;
}

void Synth::removePressedKey(int note)
{
  if (numPressedKeys <= 0) return;
  int slot = 0;
  while (slot < numPressedKeys && pressedKeys[slot] != note) ++slot;
  if (slot == numPressedKeys) return;
  --numPressedKeys;
  std::memmove(&pressedKeys[slot], &pressedKeys[slot + 1], sizeof(int) * (numPressedKeys - slot));
  pressedKeys[numPressedKeys] = kNoKey;
}

// --- programs ---

void Synth::initPresets()
{
  factoryBankMissing = false;
  if (LoadBankFromFXB(startupBankPath)) return;
  // The configuration file keeps naming the bank: it may be on a drive that is
  // only missing now.
  startupBankPath.clear();
  factoryBankMissing = !LoadBankFromFXB(resourceFolder() + kFactoryBankName);
}

void Synth::initPreset()
{
  MutexLock lock(mMutex);
  for (int i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    const double range = param->GetMax() - param->GetMin();
    const double normalized =
        std::pow((param->GetDefault() - param->GetMin()) / range, 1.0 / param->GetShape());
    SetParameterFromGUI(i, normalized);
  }
  ModifyCurrentPreset("Init");
  RedrawParamControls();
  DirtyParameters();
}

void Synth::copyPreset()
{
  MutexLock lock(mMutex);
  clipboardProgram = GetCurrentPresetIdx();
  clipboard.Clear();
  SerializeParams(&clipboard);
}

void Synth::pastePreset()
{
  MutexLock lock(mMutex);
  if (clipboard.Size() == 0) return;
  ++resendDepth;
  UnserializeParams(&clipboard, 0);
  --resendDepth;
  // A copy: the source may be the current program, whose name is overwritten.
  const std::string name = GetPresetName(clipboardProgram);
  ModifyCurrentPreset(name.c_str());
  RedrawParamControls();
  DirtyParameters();
}

void Synth::changePreset(int index)
{
  MutexLock lock(mMutex);
  ModifyCurrentPreset();
  RestorePreset(index);
  InformHostOfProgramChange();
  DirtyParameters();
}

void Synth::setStartupFxb(const char* path)
{
  startupBankPath = path ? path : "";
  saveStartupFxb();
}

void Synth::saveStartupFxb()
{
  try {
    writeStartupBankSection(true);
  } catch (...) {
    showIniError(true);
  }
}

void Synth::unsetStartupFxb()
{
  startupBankPath.clear();
  try {
    writeStartupBankSection(false);
  } catch (...) {
    showIniError(true);
  }
}

void Synth::writeStartupBankSection(bool withFile)
{
  ensureFolderOf(iniPath);
  checkWrite(WritePrivateProfileSection(kStartupBankSection, "", iniPath.c_str()));
  if (withFile)
    checkWrite(WritePrivateProfileString(kStartupBankSection, kStartupBankKey, startupBankPath.c_str(),
                                         iniPath.c_str()));
}

bool Synth::loadFXBfromBlob(const void* data, int size)
{
  if (!data || size < kFXBHeaderSize) return false;
  ByteChunk bank;
  bank.PutBytes(data, size);

  int32_t count = 0, current = 0;
  bank.GetBE(&count, 24);
  bank.GetBE(&current, 28);
  if (count < 0) return false;
  const int nPrograms = std::min<int>(count, NPresets());
  const int programSize = kFXPHeaderSize + 4 * NParams();
  if (int64_t(kFXBHeaderSize) + int64_t(nPrograms) * programSize > size) return false;

  MutexLock lock(mMutex);
  for (int i = 0; i < nPrograms; ++i) {
    const int start = kFXBHeaderSize + i * programSize;
    char name[kFXPNameLen + 1] = {};
    bank.GetBytes(name, kFXPNameLen, start + 28);
    RestorePreset(i);
    int pos = start + kFXPHeaderSize;
    for (int p = 0; p < NParams(); ++p) {
      float value = 0.0f;
      pos = bank.GetBE(&value, pos);
      GetParam(p)->SetNormalized(saneNormalized(value));
    }
    ModifyCurrentPreset(name);
  }
  RestorePreset(current);
  InformHostOfProgramChange();
  return true;
}

// --- configuration file ---

std::string Synth::configFilePath()
{
  if (const char* dir = nonEmptyEnv("ZORVA_CONFIG_DIR")) return withTrailingSlash(dir) + kIniFileName;
  // A relative XDG_CONFIG_HOME is invalid and must be ignored.
  if (const char* xdg = nonEmptyEnv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
    return withTrailingSlash(xdg) + "zorva/" + kIniFileName;
  const char* home = nonEmptyEnv("HOME");
  return withTrailingSlash(home ? home : ".") + ".config/zorva/" + kIniFileName;
}

std::string Synth::resourceFolder()
{
  std::string folder;
  // Tests point an editor at a folder of their own.
  if (graphics)
    graphics->PluginPath(&folder);
  else
    folder = ResourceFolder();
  return withTrailingSlash(folder);
}

void Synth::loadConfig()
{
  try {
    startupBankPath.clear();
    // Room for any path the system allows, so that a long one is never cut.
    char path[4096];
    GetPrivateProfileString(kStartupBankSection, kStartupBankKey, "", path, sizeof(path), iniPath.c_str());
    if (path[0]) startupBankPath = path;

    for (int n = 0; n < kNumLearnableControllers; ++n) {
      char key[16], text[64];
      std::snprintf(key, sizeof(key), "CC%i", n);
      GetPrivateProfileString(kMidiControlSection, key, "-1", text, sizeof(text), iniPath.c_str());
      if (!text[0]) continue;
      const long number = std::strtol(text, nullptr, 10);
      const int value = int(std::clamp<long>(number, INT_MIN, INT_MAX));
      midiCCParam[n] = value != 0 || text[0] == '0' ? value : -1;
    }
  } catch (...) {
    showIniError(false);
  }
}

void Synth::saveConfig()
{
  saveStartupFxb();
  try {
    checkWrite(WritePrivateProfileSection(kMidiControlSection, "", iniPath.c_str()));
    for (int n = 0; n < kNumLearnableControllers; ++n) {
      if (midiCCParam[n] < 0) continue;
      char key[16], value[16];
      std::snprintf(key, sizeof(key), "CC%i", n);
      std::snprintf(value, sizeof(value), "%i", midiCCParam[n]);
      checkWrite(WritePrivateProfileString(kMidiControlSection, key, value, iniPath.c_str()));
    }
  } catch (...) {
    showIniError(true);
  }
}

void Synth::showIniError(bool writing)
{
  if (!graphics) return;
  graphics->ShowMessageBox(writing ? "Uhoh, something is wrong with writing the INI file!"
                                   : "Uhoh, something is wrong with reading the INI file!",
                           "Problem with INI File", 0);
}

// --- helpers ---

void Synth::replaceIllegalFileChar(char* text)
{
  if (!text) return;
  for (char* c = text; *c; ++c) {
    if (std::strchr("\"*/:<>?\\|", *c)) *c = '_';
  }
}

double Synth::convert2Hz(int pitch)
{
  return ::convert2Hz(pitch);
}

void Synth::initListParameter(int index, const char* name, int defaultValue, int count,
                              const char* const* texts)
{
  ::initListParameter([this](int i) { return GetParam(i); }, index, name, defaultValue, count, texts);
}
