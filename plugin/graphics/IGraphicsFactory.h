#pragma once

class IGraphics;
class IPluginBase;

// Which window layer a new instrument's editor is built on. The off-screen layer
// is the default, so the renderer and the tests never need a display; the
// standalone app and the LV2 UI choose the X11 layer before creating an instance.
using GraphicsFactory = IGraphics* (*)(IPluginBase* plug, int width, int height, int fps);

// nullptr restores the off-screen default. Set it before instances are created.
void SetGraphicsFactory(GraphicsFactory factory);
IGraphics* MakeGraphics(IPluginBase* plug, int width, int height, int fps);
