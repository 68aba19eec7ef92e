// The instrument as an LV2 plug-in: the descriptor and the editor bridge that
// the panel's UI library drives through instance access.

#include "lv2/zorva_lv2_bridge.h"
#include "lv2/zorva_lv2_ports.h"
#include "plugin/graphics/IGraphics.h"
#include "plugin/graphics/IGraphicsFactory.h"
#include "zorva/zorva.h"

#ifdef ZORVA_HAVE_X11
#include "plugin/graphics/linux/IGraphicsLinux.h"
#endif

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string_view>

namespace {

struct Instance : ZorvaLV2Bridge, IPluginLV2UIHost
{
  std::unique_ptr<Zorva> plug;
  ZorvaUICallbacks ui{};
  bool editorOpen = false;

  void WriteParam(int paramIdx, float value) override
  {
    if (ui.writeParam) ui.writeParam(ui.ctx, uint32_t(paramIdx), value);
  }
  void RequestResize(int w, int h) override
  {
    if (ui.resize) ui.resize(ui.ctx, w, h);
  }
};

Instance* self(ZorvaLV2Bridge* bridge)
{
  return static_cast<Instance*>(bridge);
}

unsigned long openEditor(ZorvaLV2Bridge* bridge, unsigned long parent, const ZorvaUICallbacks* ui, int* width,
                         int* height, char* why, int whySize)
{
  Instance* inst = self(bridge);
  IGraphics* gui = inst->plug->GetGUI();
  auto fail = [&](const char* reason) {
    if (why && whySize > 0) std::snprintf(why, size_t(whySize), "%s", reason);
    return 0ul;
  };
  if (inst->editorOpen) return fail("the panel of this instance is already open");
#ifdef ZORVA_HAVE_X11
  auto* window = dynamic_cast<IGraphicsLinux*>(gui);
  if (!window) return fail("the instrument has no on-screen panel");
  inst->ui = *ui;
  inst->plug->SetUIHost(inst);
  if (!window->OpenWindow(reinterpret_cast<void*>(uintptr_t(parent)))) {
    inst->plug->SetUIHost(nullptr);
    return fail("the panel window could not be opened (no X display?)");
  }
  inst->editorOpen = true;
  inst->plug->OnGUIOpen();
  if (width) *width = gui->Width();
  if (height) *height = gui->Height();
  return window->WindowId();
#else
  (void)gui;
  (void)parent;
  (void)ui;
  (void)width;
  (void)height;
  return fail("this build has no X11 panel");
#endif
}

void closeEditor(ZorvaLV2Bridge* bridge)
{
  Instance* inst = self(bridge);
  if (!inst->editorOpen) return;
  inst->plug->OnGUIClose();
  if (IGraphics* gui = inst->plug->GetGUI()) gui->CloseWindow();
  inst->plug->SetUIHost(nullptr);
  inst->ui = {};
  inst->editorOpen = false;
}

int idle(ZorvaLV2Bridge* bridge)
{
  Instance* inst = self(bridge);
  if (!inst->editorOpen) return 1;
  inst->plug->ForwardPendingParamChanges();
#ifdef ZORVA_HAVE_X11
  if (auto* window = dynamic_cast<IGraphicsLinux*>(inst->plug->GetGUI()))
    return window->ProcessEvents() ? 0 : 1;
#endif
  return 0;
}

void portEvent(ZorvaLV2Bridge* bridge, uint32_t port, float value)
{
  Instance* inst = self(bridge);
  IGraphics* gui = inst->plug->GetGUI();
  if (!inst->editorOpen || !gui || int(port) >= inst->plug->NParams()) return;
  // The host's value, as the sound will have it after the next block.
  const IParam* param = inst->plug->GetParam(int(port));
  const double plain = param->Type() == IParam::kTypeDouble ? double(value) : std::round(double(value));
  gui->SetParameterFromPlug(int(port), std::clamp(plain, param->GetMin(), param->GetMax()), false);
}

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
#ifdef ZORVA_HAVE_X11
  // The panel window needs no display until it is opened.
  SetGraphicsFactory(IGraphicsLinux::Create);
#endif
  auto inst = std::make_unique<Instance>();
  inst->magic = kZorvaBridgeMagic;
  inst->version = kZorvaBridgeVersion;
  inst->openEditor = openEditor;
  inst->closeEditor = closeEditor;
  inst->idle = idle;
  inst->portEvent = portEvent;
  try {
    inst->plug = std::make_unique<Zorva>();
  } catch (const std::exception&) {
    return nullptr;
  }
  if (!inst->plug->LV2Init(rate, features)) return nullptr;
  return static_cast<ZorvaLV2Bridge*>(inst.release());
}

Instance* fromHandle(LV2_Handle handle)
{
  return static_cast<Instance*>(static_cast<ZorvaLV2Bridge*>(handle));
}

void connectPort(LV2_Handle handle, uint32_t port, void* data)
{
  fromHandle(handle)->plug->LV2ConnectPort(port, data);
}

void activate(LV2_Handle handle)
{
  fromHandle(handle)->plug->LV2Activate();
}

void run(LV2_Handle handle, uint32_t nFrames)
{
  fromHandle(handle)->plug->LV2Run(nFrames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle)
{
  Instance* inst = fromHandle(handle);
  closeEditor(inst);
  delete inst;
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*)
{
  return fromHandle(handle)->plug->LV2Save(store, state);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                         uint32_t, const LV2_Feature* const*)
{
  return fromHandle(handle)->plug->LV2Restore(retrieve, state);
}

const void* extensionData(const char* uri)
{
  static const LV2_State_Interface stateInterface = {save, restore};
  if (std::string_view(uri) == LV2_STATE__interface) return &stateInterface;
  return nullptr;
}

const LV2_Descriptor kDescriptor = {
    zorva_lv2::kPluginURI, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}
