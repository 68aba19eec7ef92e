#pragma once

// The whole of zorva-render above the instrument: arguments, sound choice,
// listing, rendering, progress and summary. The executable only supplies the
// instrument through RenderInstrument.

#include "apps/render/param_setting.h"
#include "apps/render/schedule.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace render {

enum ExitStatus {
  kExitOk = 0,
  kExitOutputFailed = 1, // the output file could not be written
  kExitBadArguments = 2,
  kExitBadInput = 3, // unreadable or malformed MIDI, bank or program file
};

class RenderInstrument : public RenderTarget
{
public:
  // False with a message when the instrument's own files (the factory bank)
  // could not be loaded, so that its programs would be empty.
  virtual bool CheckResources(std::string& error)
  {
    (void)error;
    return true;
  }
  // Both loaders answer false with a message for an unreadable or malformed file.
  virtual bool LoadBank(const std::string& path, std::string& error) = 0;
  virtual bool LoadProgram(const std::string& path, std::string& error) = 0; // into the current program
  virtual int NumPrograms() const = 0;
  virtual std::string ProgramName(int index) const = 0;
  virtual void SelectProgram(int index) = 0;
  virtual void InitProgram() = 0;
  virtual std::vector<ParamInfo> Params() const = 0;
  // As a host applies a change: store the plain value, then OnParamChange.
  virtual void SetParam(int index, double value) = 0;
  // Draws the front panel into a PNG file; false with a message.
  virtual bool SaveScreenshot(const std::string& path, std::string& error)
  {
    error = path + ": this instrument has no front panel";
    return false;
  }
  // Sample rate, block size, Reset, then activation (every parameter re-sent).
  virtual void Prepare(int rate, int blockSize) = 0;
};

using InstrumentFactory = std::function<std::unique_ptr<RenderInstrument>()>;

struct AppStreams
{
  std::ostream& mOut;
  std::ostream& mErr;
  bool mErrIsTerminal = false; // the progress bar is drawn only on a terminal
};

// args excludes the program name; the result is the process exit status.
int RunRenderApp(const std::vector<std::string>& args, const InstrumentFactory& makeInstrument,
                 AppStreams streams);

// "rendered 2.000 s: peak -6.0 dBFS, RMS -9.0 dBFS, 120.5x real time"
std::string FormatSummary(double seconds, double peakDbfs, double rmsDbfs, double realTimeFactor);

} // namespace render
