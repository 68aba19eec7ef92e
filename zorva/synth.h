#pragma once

#include "plugin/ByteChunk.h"
#include "plugin/IMidiQueue.h"
#include "plugin/IPluginStructs.h"
#include "plugin/api/IPluginAdapter.h"
#include "zorva/editor/file_commands.h"
#include "zorva/param_ids.h"

#include <string>

class IControl;
class IGraphics;

// The generic synthesizer on top of the host adapter: MIDI input and its queue,
// MIDI learn, the sorted buffer of held keys, the program clipboard, the startup
// bank and the configuration file. The instrument derives from it and supplies
// the sound.
class Synth : public IPluginAdapter
{
public:
  static constexpr int kNumPrograms = 64;
  // Controllers 120-127 are channel-mode messages and are never learnable.
  static constexpr int kNumLearnableControllers = 120;
  static constexpr int kNumKeys = 128;
  static constexpr int kNoKey = 256;
  static constexpr int kEditorWidth = 1096;
  static constexpr int kEditorHeight = 586;
  static constexpr int kEditorFPS = 25;
  static constexpr int kFXBProgramSize = 56 + 4 * kNumParams;

  static IPluginInstanceInfo defaultInstanceInfo();

  explicit Synth(IPluginInstanceInfo instanceInfo = defaultInstanceInfo());
  ~Synth() override;

  void ProcessMidiMsg(IMidiMsg* msg) override;
  void Reset() override;
  void OnActivate(bool active) override;
  void OnParamChange(int paramIdx) override;
  // Restoring a program or the host's state is not the user touching a
  // parameter: it must not complete a pending MIDI learn.
  int UnserializeState(const ByteChunk* chunk, int startPos) override;

  virtual void allNotesOff() {}
  virtual void initParameters() {}

  // --- MIDI learn; the learn switch calls these with its new state ---
  void doMidiLearn(bool on);
  void doMidiUnlearn(bool on);
  void setMidiLearnParam(int index);
  void setMidiLearnCC(int cc);
  void applyMidiLearn();

  // --- held keys, ascending ---
  void clearKeyBuffer();
  void addPressedKey(int note);
  void removePressedKey(int note);

  // --- programs ---
  void initPresets();
  void initPreset();
  void copyPreset();
  void pastePreset();
  void changePreset(int index);
  void setStartupFxb(const char* path);
  void saveStartupFxb();
  void unsetStartupFxb();
  // False, with nothing changed, for an image shorter than its header or than
  // the programs it announces.
  bool loadFXBfromBlob(const void* data, int size);

  // --- configuration file ---
  void loadConfig();
  void saveConfig();

  // --- the options menu: asks for confirmation or a file where needed, reports
  // a failed load or save; values without a command do nothing ---
  void runFileCommand(File::Command command);
  // The current program's name as a file name: illegal characters replaced,
  // at most 63 bytes.
  std::string proposedProgramFileName();
  // Asks the update server for the latest version and tells the user; only
  // ever run on the user's command. 0 when the check completed, else the
  // failure (see UpdateCheck::Result); every outcome has been shown already.
  int checkVersionAgainstWeb();
  // Builds (or rebuilds) the front panel on the editor's window object.
  virtual void createGraphics() {}

  // The maker's home page, opened from the options menu.
  static constexpr const char* kMakerWebsite = "http://www.tamsodyne.com/";

  // Replaces the characters that are illegal in file names on some system by "_".
  static void replaceIllegalFileChar(char* text);
  static double convert2Hz(int pitch);
  void initListParameter(int index, const char* name, int defaultValue, int count, const char* const* texts);

  // $ZORVA_CONFIG_DIR/zorva.ini, else $XDG_CONFIG_HOME/zorva/zorva.ini, else
  // ~/.config/zorva/zorva.ini.
  static std::string configFilePath();
  // The folder of the plug-in's resources with a trailing "/", as the editor's
  // window object finds it ($ZORVA_RESOURCES overrides it).
  std::string resourceFolder();

  IMidiQueue midiQueue;
  ITimeInfo timeInfo;
  ByteChunk clipboard;
  int clipboardProgram = -1;
  std::string fileFolder;
  std::string iniPath;
  std::string startupBankPath;
  // Neither the startup bank nor the factory bank could be loaded: every
  // program is empty, which the renderer must not pass off as a render.
  bool factoryBankMissing = false;

  int midiCCParam[kNumLearnableControllers];
  bool midiLearnActive = false;
  bool midiUnlearnMode = false;
  int midiLearnCC = -1;
  int midiLearnParam = -1;
  IControl* midiLearnControl = nullptr; // the editor's learn switch, not owned

  int pressedKeys[kNumKeys];
  int numPressedKeys = 0;

  int controlStep = 0;
  int controlStepLeft = 0;

protected:
  // Sends every parameter to OnParamChange again. This is not a change by the
  // user, so it must not complete a pending MIDI learn.
  void resendAllParams();

  void showIniError(bool writing);
  void writeStartupBankSection(bool withFile);

  // The editor's window object; owned by the plug-in base once attached.
  IGraphics* graphics = nullptr;

private:
  int resendDepth = 0;
};
