#pragma once

// How the panel's UI library reaches the editor of the instance it belongs to.
// The host hands the UI the instance handle (instance access), which points at
// this table: the editor's code runs in the plug-in library, so the UI library
// holds none of the instrument and the two never disagree about its classes.

#include <cstdint>

constexpr uint32_t kZorvaBridgeMagic = 0x5a4f5256; // "ZORV"
constexpr uint32_t kZorvaBridgeVersion = 1;

// Supplied by the UI: where the panel's changes go.
struct ZorvaUICallbacks
{
  void* ctx;
  void (*writeParam)(void* ctx, uint32_t port, float value);
  void (*resize)(void* ctx, int width, int height);
};

struct ZorvaLV2Bridge
{
  uint32_t magic;
  uint32_t version;
  // All on the UI thread. openEditor answers the X11 window embedded in
  // parent, or 0 with a reason in why (a buffer of whySize bytes).
  unsigned long (*openEditor)(ZorvaLV2Bridge* self, unsigned long parent, const ZorvaUICallbacks* ui,
                              int* width, int* height, char* why, int whySize);
  void (*closeEditor)(ZorvaLV2Bridge* self);
  // Events and the panel's timer; 0 while the window is open.
  int (*idle)(ZorvaLV2Bridge* self);
  // A port's value as the host reports it.
  void (*portEvent)(ZorvaLV2Bridge* self, uint32_t port, float value);
};
