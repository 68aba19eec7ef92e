#pragma once

// The instrument as the renderer and the build's own tools drive it: a Zorva
// on the standalone adapter behind the renderer's instrument interface.

#include "apps/render/render_app.h"
#include "plugin/ResourceFolder.h"
#include "plugin/graphics/IGraphics.h"
#include "raster/raster.h"
#include "zorva/zorva.h"

#include <string>
#include <vector>

class ZorvaInstrument : public render::RenderInstrument
{
public:
  ZorvaInstrument() { mZorva.SetRenderingOffline(true); }

  bool CheckResources(std::string& error) override
  {
    if (!mZorva.factoryBankMissing) return true;
    error = ResourceFolder() +
            "init.fxb: the factory bank is missing or unreadable; set ZORVA_RESOURCES to the folder that "
            "holds it";
    return false;
  }
  bool LoadBank(const std::string& path, std::string& error) override
  {
    if (mZorva.LoadBankFromFXB(path)) return true;
    error = path + ": not a usable bank (FXB) file: " + mZorva.LastFileError();
    return false;
  }
  bool LoadProgram(const std::string& path, std::string& error) override
  {
    if (mZorva.LoadProgramFromFXP(path)) return true;
    error = path + ": not a usable program (FXP) file: " + mZorva.LastFileError();
    return false;
  }
  int NumPrograms() const override { return mZorva.NPresets(); }
  std::string ProgramName(int index) const override
  {
    const char* name = mZorva.GetPresetName(index);
    return name ? name : "";
  }
  void SelectProgram(int index) override { mZorva.RestorePreset(index); }
  void InitProgram() override { mZorva.initPreset(); }

  std::vector<render::ParamInfo> Params() const override
  {
    std::vector<render::ParamInfo> params;
    for (int i = 0; i < mZorva.NParams(); ++i) {
      const IParam* p = mZorva.GetParam(i);
      render::ParamInfo info;
      info.mName = p->GetNameForHost();
      info.mMin = p->GetMin();
      info.mMax = p->GetMax();
      info.mDefault = p->GetDefault();
      info.mValue = p->Value();
      char text[128] = {};
      p->GetDisplayForHost(text);
      info.mDisplay = text;
      if (p->Type() == IParam::kTypeEnum)
        for (int k = 0; k < p->GetNDisplayTexts(); ++k) info.mList.push_back(p->GetDisplayTextAtIdx(k));
      params.push_back(std::move(info));
    }
    return params;
  }
  void SetParam(int index, double value) override
  {
    mZorva.GetParam(index)->Set(value);
    mZorva.OnParamChange(index);
  }
  bool SaveScreenshot(const std::string& path, std::string& error) override
  {
    IGraphics* gui = mZorva.GetGUI();
    if (!gui || !gui->GetBits()) {
      error = "no front panel to draw";
      return false;
    }
    // Values set since the last program change have not reached the controls yet.
    mZorva.RedrawParamControls();
    gui->Draw(IRECT(0, 0, gui->Width(), gui->Height()));
    if (!gui->MissingBitmap().empty()) {
      error = gui->MissingBitmap() +
              ": panel artwork missing or unreadable; set ZORVA_RESOURCES to the folder that holds img/";
      return false;
    }
    std::string why;
    if (RstSavePng(*gui->GetBits(), path, &why)) return true;
    error = path + ": cannot write the screenshot" + (why.empty() ? "" : " (" + why + ")");
    return false;
  }
  void Prepare(int rate, int blockSize) override
  {
    mZorva.SetSampleRate(rate);
    mZorva.SetBlockSize(blockSize);
    mZorva.Reset();
    mZorva.OnActivate(true);
  }

  void SetTransport(double tempo, double quarterNotes, bool running) override
  {
    mZorva.SetTransport(tempo, quarterNotes, running);
  }
  void SendMidi(int offset, uint8_t status, uint8_t data1, uint8_t data2) override
  {
    IMidiMsg msg(offset, status, data1, data2);
    mZorva.ProcessMidiMsg(&msg);
  }
  void ProcessBlock(double* left, double* right, int frames) override
  {
    double* outputs[2] = {left, right};
    mZorva.ProcessDoubleReplacing(nullptr, outputs, frames);
  }
  bool IsSounding() const override
  {
    for (int i = 0; i < Zorva::kMaxVoices; ++i)
      if (mZorva.getVoice(i).active) return true;
    return false;
  }

  Zorva& plug() { return mZorva; }

private:
  Zorva mZorva;
};
