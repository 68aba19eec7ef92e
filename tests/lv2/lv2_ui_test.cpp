// The panel's UI library as a host embeds it, under an X server of the test's
// own: a parent window, instance access, the idle call, and a knob dragged
// with XTest arriving as a port write.

#include "tests/common/xvfb.h"
#include "tests/lv2/lv2_host.h"
#include "zorva/param_ids.h"

#include <gtest/gtest.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

// Leak checking (sanitizer builds): the font library keeps its configuration
// for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
  return "leak:libfontconfig.so\n";
}

namespace {

const std::string kBundle = ZORVA_TEST_LV2_BUNDLE;

struct HostSide
{
  std::vector<std::pair<uint32_t, float>> mWrites;
  int mWidth = 0, mHeight = 0;

  static void Write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
  {
    if (format == 0 && size == sizeof(float))
      static_cast<HostSide*>(c)->mWrites.emplace_back(port, *static_cast<const float*>(buffer));
  }
  static int Resize(LV2UI_Feature_Handle h, int w, int ht)
  {
    static_cast<HostSide*>(h)->mWidth = w;
    static_cast<HostSide*>(h)->mHeight = ht;
    return 0;
  }
};

class Lv2UiTest : public ::testing::Test
{
protected:
  static void SetUpTestSuite()
  {
    // The plug-in brings the X and font libraries and takes them away again
    // when the host unloads it; kept loaded, their process-wide caches stay
    // reachable and a leak report names only what is really lost.
    for (const char* lib : {"libX11.so.6", "libxcb.so.1", "libcairo.so.2", "libfontconfig.so.1",
                            "libfreetype.so.6", "libpixman-1.so.0"})
      dlopen(lib, RTLD_NOW | RTLD_NODELETE);
  }
  void SetUp() override
  {
    setenv("ZORVA_CONFIG_DIR", "/nonexistent/zorva-lv2-ui-test", 1);
    ASSERT_FALSE(mX.Name().empty()) << "no Xvfb";
    setenv("DISPLAY", mX.Name().c_str(), 1);
    mDisplay = XOpenDisplay(mX.Name().c_str());
    ASSERT_NE(mHost.Plugin(), nullptr);
    mLibrary = dlopen((kBundle + "/zorva_ui.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(mLibrary, nullptr) << dlerror();
    auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(mLibrary, "lv2ui_descriptor"));
    ASSERT_NE(entry, nullptr);
    mUI = entry(0);
    mParent = XCreateSimpleWindow(mDisplay, DefaultRootWindow(mDisplay), 0, 0, 1096, 586, 0, 0, 0);
    XMapWindow(mDisplay, mParent);
    XSync(mDisplay, False);
  }
  void TearDown() override
  {
    if (mParent) XDestroyWindow(mDisplay, mParent);
    if (mDisplay) XCloseDisplay(mDisplay);
    if (mLibrary) dlclose(mLibrary);
  }

  LV2UI_Handle Open(Lv2Instance& inst, HostSide& side, bool instanceAccess, LV2UI_Widget* widget)
  {
    mResize = {&side, HostSide::Resize};
    std::vector<LV2_Feature> f = {{LV2_UI__parent, reinterpret_cast<void*>(uintptr_t(mParent))},
                                  {LV2_URID__map, mHost.UridMap()},
                                  {LV2_UI__resize, &mResize},
                                  {LV2_UI__idleInterface, nullptr}};
    if (instanceAccess) f.push_back({LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(inst.Instance())});
    std::vector<const LV2_Feature*> list;
    for (auto& feature : f) list.push_back(&feature);
    list.push_back(nullptr);
    return mUI->instantiate(mUI, Lv2Host::kPluginURI, kBundle.c_str(), HostSide::Write, &side, widget,
                            list.data());
  }
  int Idle(LV2UI_Handle ui)
  {
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(mUI->extension_data(LV2_UI__idleInterface));
    return idle->idle(ui);
  }

  XvfbServer mX{"1280x800x24"};
  Display* mDisplay = nullptr;
  Lv2Host mHost;
  void* mLibrary = nullptr;
  const LV2UI_Descriptor* mUI = nullptr;
  Window mParent = 0;
  LV2UI_Resize mResize{};
};

// Only with the instance at hand; then a dragged knob arrives, and the panel
// closes and opens again and again.
TEST_F(Lv2UiTest, OpensWithInstanceAccessOnlyAndADraggedKnobReachesTheHostAsAPortWrite)
{
  Lv2Instance inst(mHost, 44100, 256);
  HostSide side;
  LV2UI_Widget widget = nullptr;
  EXPECT_EQ(Open(inst, side, false, &widget), nullptr);
  LV2UI_Handle ui = Open(inst, side, true, &widget);
  ASSERT_NE(ui, nullptr);
  EXPECT_NE(widget, nullptr);
  EXPECT_EQ(std::pair(side.mWidth, side.mHeight), std::pair(1096, 586));
  // Until the server has mapped the panel, pointer events would go past it.
  for (int i = 0; i < 20; ++i) {
    EXPECT_EQ(Idle(ui), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  // "Shape 1": the knob at (24, 216), 40 pixels square; dragged upwards.
  // Step by step, as a hand moves: each event handled before the next.
  Display* d = mDisplay;
  auto sent = [&](int) {
    XSync(d, False);
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      Idle(ui);
    }
  };
  sent(XTestFakeMotionEvent(d, 0, 44, 236, CurrentTime));
  sent(XTestFakeButtonEvent(d, 1, True, CurrentTime));
  for (int y = 232; y >= 200; y -= 8) sent(XTestFakeMotionEvent(d, 0, 44, y, CurrentTime));
  sent(XTestFakeButtonEvent(d, 1, False, CurrentTime));
  bool written = false;
  for (int i = 0; i < 200 && !written; ++i) {
    Idle(ui);
    for (const auto& [port, value] : side.mWrites) written = written || (port == kOsc1Shape && value > 0.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(written);
  mUI->cleanup(ui);

  for (int round = 0; round < 20; ++round) {
    ui = Open(inst, side, true, &widget);
    ASSERT_NE(ui, nullptr) << round;
    for (int i = 0; i < 3; ++i) Idle(ui);
    mUI->cleanup(ui);
  }
}

} // namespace
