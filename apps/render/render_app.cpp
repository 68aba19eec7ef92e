#include "apps/render/render_app.h"

#include "apps/render/midi_file.h"
#include "apps/render/options.h"
#include "apps/render/progress.h"
#include "apps/render/wav_writer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace render {

namespace {

int Fail(AppStreams& io, int status, const std::string& message)
{
  // Messages carry names from files and the command line: nothing in them may
  // act on the terminal.
  io.mErr << "zorva-render: " << EscapeControls(message) << "\n";
  if (status == kExitBadArguments) io.mErr << "Try 'zorva-render --help' for more information.\n";
  return status;
}

std::string FormatDb(double db)
{
  if (!std::isfinite(db)) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", db);
  return text;
}

} // namespace

std::string FormatSummary(double seconds, double peakDbfs, double rmsDbfs, double realTimeFactor)
{
  char text[160];
  std::snprintf(text, sizeof text, "rendered %.3f s: peak %s dBFS, RMS %s dBFS, %.1fx real time", seconds,
                FormatDb(peakDbfs).c_str(), FormatDb(rmsDbfs).c_str(), realTimeFactor);
  return text;
}

int RunRenderApp(const std::vector<std::string>& args, const InstrumentFactory& makeInstrument, AppStreams io)
{
  RenderOptions options;
  std::string error;
  if (!ParseOptions(args, options, error)) return Fail(io, kExitBadArguments, error);
  if (options.mHelp) {
    io.mOut << UsageText();
    return kExitOk;
  }

  // The input is read before the instrument is built, so a bad file is
  // reported at once.
  MidiFile midi;
  if (options.Renders() && !ReadMidiFile(options.mInput, midi, error)) return Fail(io, kExitBadInput, error);

  std::unique_ptr<RenderInstrument> instrument = makeInstrument();
  // A bank of the user's own replaces every factory program.
  if (!options.mBank && !instrument->CheckResources(error)) return Fail(io, kExitBadInput, error);
  const int status = ApplySoundOptions(options, *instrument, error, [&] {
    if (!options.mListPrograms) return;
    char line[300];
    for (int i = 0; i < instrument->NumPrograms(); ++i) {
      std::snprintf(line, sizeof line, "%2d  %s\n", i, EscapeControls(instrument->ProgramName(i)).c_str());
      io.mOut << line;
    }
  });
  if (status != kExitOk) return Fail(io, status, error);
  if (options.mListParams) io.mOut << FormatParamList(instrument->Params());
  if (options.mScreenshot && !instrument->SaveScreenshot(*options.mScreenshot, error))
    return Fail(io, kExitOutputFailed, error);
  if (!options.Renders()) return kExitOk;

  RenderSettings settings;
  settings.mRate = options.mRate;
  settings.mBlockSize = options.mBlockSize;
  settings.mLengthSeconds = options.mLengthSeconds;
  WavWriter writer;
  if (!writer.Open(options.mOutput, options.mRate, options.mFormat, error, MaxRenderFrames(midi, settings)))
    return Fail(io, kExitOutputFailed, error);
  instrument->Prepare(options.mRate, options.mBlockSize);
  ProgressBar bar(io.mErr, io.mErrIsTerminal && !options.mQuiet, options.mRate);
  const auto started = std::chrono::steady_clock::now();
  const RenderResult result =
      RunRender(midi, settings, *instrument, writer,
                [&bar](int64_t done, int64_t expected) { bar.Update(done, expected); });
  const double wallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  bar.Finish();
  if (!result.mOk) return Fail(io, kExitOutputFailed, result.mError);
  if (!writer.Close(error)) return Fail(io, kExitOutputFailed, error);

  const double seconds = double(result.mFrames) / options.mRate;
  io.mOut << FormatSummary(seconds, writer.PeakDbfs(), writer.RmsDbfs(),
                           seconds / std::max(wallSeconds, 1e-9))
          << "\n";
  return kExitOk;
}

} // namespace render
