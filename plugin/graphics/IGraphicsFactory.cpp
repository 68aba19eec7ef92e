#include "IGraphicsFactory.h"

#include "headless/IGraphicsHeadless.h"

#include <atomic>

namespace {
std::atomic<GraphicsFactory> gFactory{nullptr};
}

void SetGraphicsFactory(GraphicsFactory factory)
{
  gFactory.store(factory);
}

IGraphics* MakeGraphics(IPluginBase* plug, int width, int height, int fps)
{
  if (GraphicsFactory factory = gFactory.load()) return factory(plug, width, height, fps);
  return new IGraphicsHeadless(plug, width, height, fps);
}
