// The panel in a host's window: an X11 UI that opens the editor of the plug-in
// instance it belongs to, reached through instance access.

#include "lv2/zorva_lv2_bridge.h"
#include "lv2/zorva_lv2_ports.h"

#include <lv2/core/lv2.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/log/logger.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace {

struct UI
{
  ZorvaLV2Bridge* bridge = nullptr;
  LV2UI_Write_Function write = nullptr;
  LV2UI_Controller controller = nullptr;
  LV2UI_Resize resize{};
  bool canResize = false;
};

void writeParam(void* ctx, uint32_t port, float value)
{
  auto* ui = static_cast<UI*>(ctx);
  ui->write(ui->controller, port, sizeof(float), 0, &value);
}

void resizeWindow(void* ctx, int width, int height)
{
  auto* ui = static_cast<UI*>(ctx);
  if (ui->canResize) ui->resize.ui_resize(ui->resize.handle, width, height);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginURI, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
  void* parent = nullptr;
  LV2_Handle instance = nullptr;
  bool haveInstance = false;
  LV2_Log_Logger logger{};
  const LV2UI_Resize* resize = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    const char* uri = features[i]->URI;
    if (!std::strcmp(uri, LV2_UI__parent)) parent = features[i]->data;
    if (!std::strcmp(uri, LV2_INSTANCE_ACCESS_URI)) {
      instance = features[i]->data;
      haveInstance = true;
    }
    if (!std::strcmp(uri, LV2_LOG__log)) logger.log = static_cast<LV2_Log_Log*>(features[i]->data);
    if (!std::strcmp(uri, LV2_UI__resize)) resize = static_cast<const LV2UI_Resize*>(features[i]->data);
  }
  // A host log needs mapped message types; without a map the messages go to stderr.
  LV2_URID_Map* map = nullptr;
  for (int i = 0; features && features[i]; ++i)
    if (!std::strcmp(features[i]->URI, LV2_URID__map)) map = static_cast<LV2_URID_Map*>(features[i]->data);
  lv2_log_logger_init(&logger, map, map ? logger.log : nullptr);

  if (std::strcmp(pluginURI, zorva_lv2::kPluginURI) != 0) return nullptr;
  if (!haveInstance || !instance) {
    lv2_log_error(&logger,
                  "Zorva: the panel calls the instrument directly and needs the host's instance "
                  "access (%s), which this host does not offer; the panel is not shown\n",
                  LV2_INSTANCE_ACCESS_URI);
    return nullptr;
  }
  if (!parent) {
    lv2_log_error(&logger, "Zorva: the host gave no parent window (%s); the panel is not shown\n",
                  LV2_UI__parent);
    return nullptr;
  }
  auto* bridge = static_cast<ZorvaLV2Bridge*>(instance);
  if (bridge->magic != kZorvaBridgeMagic || bridge->version != kZorvaBridgeVersion) {
    lv2_log_error(&logger, "Zorva: the plug-in instance is not from this bundle; the panel is not shown\n");
    return nullptr;
  }

  auto* ui = new (std::nothrow) UI;
  if (!ui) return nullptr;
  ui->bridge = bridge;
  ui->write = write;
  ui->controller = controller;
  if (resize) {
    ui->resize = *resize;
    ui->canResize = true;
  }
  const ZorvaUICallbacks callbacks{ui, writeParam, resizeWindow};
  int width = 0, height = 0;
  char why[256] = {};
  const unsigned long window =
      bridge->openEditor(bridge, static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent)), &callbacks,
                         &width, &height, why, sizeof(why));
  if (!window) {
    lv2_log_error(&logger, "Zorva: %s; the panel is not shown\n", why);
    delete ui;
    return nullptr;
  }
  *widget = reinterpret_cast<LV2UI_Widget>(uintptr_t(window));
  resizeWindow(ui, width, height);
  return ui;
}

void cleanup(LV2UI_Handle handle)
{
  auto* ui = static_cast<UI*>(handle);
  ui->bridge->closeEditor(ui->bridge);
  delete ui;
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
  auto* ui = static_cast<UI*>(handle);
  if (format == 0 && size == sizeof(float) && buffer)
    ui->bridge->portEvent(ui->bridge, port, *static_cast<const float*>(buffer));
}

int idle(LV2UI_Handle handle)
{
  auto* ui = static_cast<UI*>(handle);
  return ui->bridge->idle(ui->bridge);
}

const void* extensionData(const char* uri)
{
  static const LV2UI_Idle_Interface idleInterface = {idle};
  if (!std::strcmp(uri, LV2_UI__idleInterface)) return &idleInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {zorva_lv2::kUIURI, instantiate, cleanup, portEvent, extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
  return index == 0 ? &kDescriptor : nullptr;
}
