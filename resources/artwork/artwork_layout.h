#pragma once
// Sizes of the panel images and where the panel places them. The front panel
// positions its controls by their top-left corners only; the sizes below are
// what those positions leave room for:
//
// image            frame WxH  frames  why
// back             1096x586     1     the editor window
// knob               40x40     65     envelope knobs sit 50 apart and the value
//                                     text is the knob width + 8; a row of knobs
//                                     plus its 16-pixel text band must end before
//                                     the source selector 68 pixels below it
// button_plus/minus  11x11      2     at (x - 4, kB - 6) and (x + W - 7, kB - 6):
//                                     mirror images over the knob's lower corners,
//                                     ending just above the value text at kB + 6
// button             44x24      2     "CLIP" at x 363 ends where the MIDI light
//                                     starts (408); "LEARN" at y 515 ends before
//                                     "CLIP" at 543; the label box is inset
//                                     (5, 3, 6, 6), the lamp lives in the bottom 6
// button_off         48x18      1     source selectors sit 4 left of their knob,
//                                     56 apart; text box starts 3 below the top
// left, right        20x18      2     either side of the program number (162..184)
// digits             10x16     10     tens at L + 2, units at L + 12, 16 high
// switch4            40x56      4     4 rows of 14 between y 64 and the knob labels
// sync_tristate      40x54      3     3 rows of 18 beside the waveform selector
// switch6            36x54      6     6 rows of 9 above the RETRIG button (y 124)
// switch7            96x56      7     7 rows of 8 between x 348 and the mode picture
// filtermodes       100x60      7     x 456..556 in filter 1, 758..858 in filter 2
// LED_on             12x12      1     right of "CLIP", centred on it

#include <array>
#include <string_view>

namespace artwork {

struct ImageSpec
{
  std::string_view name;
  int width;
  int frameHeight;
  int frames;
  int Height() const { return frameHeight * frames; }
};

inline constexpr std::array<ImageSpec, 15> kImages{{
    {"back", 1096, 586, 1},
    {"button", 44, 24, 2},
    {"button_off", 48, 18, 1},
    {"knob", 40, 40, 65},
    {"left", 20, 18, 2},
    {"right", 20, 18, 2},
    {"sync_tristate", 40, 54, 3},
    {"digits", 10, 16, 10},
    {"switch4", 40, 56, 4},
    {"switch6", 36, 54, 6},
    {"switch7", 96, 56, 7},
    {"filtermodes", 100, 60, 7},
    {"LED_on", 12, 12, 1},
    {"button_plus", 11, 11, 2},
    {"button_minus", 11, 11, 2},
}};

constexpr const ImageSpec& Image(std::string_view name)
{
  for (const ImageSpec& image : kImages)
    if (image.name == name) return image;
  return kImages[0];
}

// One control of the front panel as far as the artwork cares: its image, its
// top-left corner, and the caption printed on the background beside it.
struct Placement
{
  std::string_view image;
  int x, y;
  std::string_view caption; // empty: the control labels itself or needs none
};

inline constexpr std::array kPlacements{
    // Programs and global
    Placement{"left", 140, 459, ""},
    Placement{"right", 188, 459, ""},
    Placement{"button", 363, 515, ""},
    Placement{"LED_on", 408, 548, ""},
    Placement{"knob", 144, 508, "VOLUME"},
    Placement{"knob", 200, 508, "PB RANGE"},
    Placement{"knob", 256, 508, "GLIDE"},
    Placement{"button", 307, 543, ""},
    Placement{"digits", 316, 516, "VOICES"},
    Placement{"button", 363, 543, ""},
    // Oscillator 1
    Placement{"switch4", 52, 64, "WAVE"},
    Placement{"knob", 24, 136, "PITCH"},
    Placement{"knob", 80, 136, "TUNE"},
    Placement{"knob", 24, 216, "SHAPE"},
    Placement{"knob", 80, 216, "SHP MOD"},
    Placement{"button_off", 76, 284, "SHP SRC"},
    Placement{"knob", 24, 328, "FM 1"},
    Placement{"button_off", 20, 396, "FM 1 SRC"},
    Placement{"knob", 80, 328, "FM 2"},
    Placement{"button_off", 76, 396, "FM 2 SRC"},
    // Oscillator 2
    Placement{"switch4", 158, 64, "WAVE"},
    Placement{"sync_tristate", 218, 62, "SYNC"},
    Placement{"knob", 158, 136, "PITCH"},
    Placement{"knob", 214, 136, "TUNE"},
    Placement{"knob", 158, 216, "SHAPE"},
    Placement{"knob", 214, 216, "SHP MOD"},
    Placement{"button_off", 210, 284, "SHP SRC"},
    Placement{"knob", 158, 328, "FM 1"},
    Placement{"button_off", 154, 396, "FM 1 SRC"},
    Placement{"knob", 214, 328, "FM 2"},
    Placement{"button_off", 210, 396, "FM 2 SRC"},
    // Mixer, filter, amplifier and pan 1
    Placement{"knob", 320, 56, "OSC 1"},
    Placement{"knob", 376, 56, "OSC 2"},
    Placement{"knob", 432, 56, "RING"},
    Placement{"knob", 488, 56, "NOISE"},
    Placement{"switch7", 348, 148, "MODE"},
    Placement{"filtermodes", 456, 136, ""},
    Placement{"knob", 292, 216, "CUTOFF"},
    Placement{"knob", 348, 216, "RESO"},
    Placement{"knob", 404, 216, "CF MOD 1"},
    Placement{"button_off", 400, 284, "SRC 1"},
    Placement{"knob", 460, 216, "CF MOD 2"},
    Placement{"button_off", 456, 284, "SRC 2"},
    Placement{"knob", 516, 216, "CF MOD 3"},
    Placement{"button_off", 512, 284, "SRC 3"},
    Placement{"knob", 292, 328, "PAN"},
    Placement{"knob", 348, 328, "PAN MOD"},
    Placement{"button_off", 344, 396, "PAN SRC"},
    Placement{"knob", 404, 328, "AM 1"},
    Placement{"button_off", 400, 396, "AM 1 SRC"},
    Placement{"knob", 460, 328, "AM 2"},
    Placement{"button_off", 456, 396, "AM 2 SRC"},
    Placement{"knob", 516, 328, "LEVEL"},
    // Mixer, filter, amplifier and pan 2
    Placement{"knob", 594, 56, "FILTER 1"},
    Placement{"knob", 650, 56, "OSC 1"},
    Placement{"knob", 706, 56, "OSC 2"},
    Placement{"knob", 762, 56, "RING"},
    Placement{"knob", 818, 56, "NOISE"},
    Placement{"switch7", 650, 148, "MODE"},
    Placement{"filtermodes", 758, 136, ""},
    Placement{"knob", 594, 216, "CUTOFF"},
    Placement{"knob", 650, 216, "RESO"},
    Placement{"knob", 706, 216, "CF MOD 1"},
    Placement{"button_off", 702, 284, "SRC 1"},
    Placement{"knob", 762, 216, "CF MOD 2"},
    Placement{"button_off", 758, 284, "SRC 2"},
    Placement{"knob", 818, 216, "CF MOD 3"},
    Placement{"button_off", 814, 284, "SRC 3"},
    Placement{"knob", 594, 328, "PAN"},
    Placement{"knob", 650, 328, "PAN MOD"},
    Placement{"button_off", 646, 396, "PAN SRC"},
    Placement{"knob", 706, 328, "AM 1"},
    Placement{"button_off", 702, 396, "AM 1 SRC"},
    Placement{"knob", 762, 328, "AM 2"},
    Placement{"button_off", 758, 396, "AM 2 SRC"},
    Placement{"knob", 818, 328, "LEVEL"},
    // LFOs
    Placement{"switch6", 908, 64, "WAVE"},
    Placement{"button", 903, 124, ""},
    Placement{"knob", 988, 56, "RATE"},
    Placement{"button", 983, 124, ""},
    Placement{"knob", 1044, 56, "DEPTH"},
    Placement{"button_off", 1040, 124, "DEPTH SRC"},
    Placement{"switch6", 908, 200, "WAVE"},
    Placement{"button", 903, 260, ""},
    Placement{"knob", 988, 192, "RATE"},
    Placement{"button", 983, 260, ""},
    Placement{"knob", 1044, 192, "DEPTH"},
    Placement{"button_off", 1040, 260, "DEPTH SRC"},
    Placement{"switch6", 908, 336, "WAVE"},
    Placement{"button", 903, 396, ""},
    Placement{"knob", 988, 328, "RATE"},
    Placement{"button", 983, 396, ""},
    Placement{"knob", 1044, 328, "DEPTH"},
    Placement{"button_off", 1040, 396, "DEPTH SRC"},
    // Envelopes
    Placement{"knob", 448, 508, "ATTACK"},
    Placement{"knob", 498, 508, "DECAY"},
    Placement{"knob", 548, 508, "SUSTAIN"},
    Placement{"knob", 598, 508, "RELEASE"},
    Placement{"knob", 670, 508, "ATTACK"},
    Placement{"knob", 720, 508, "DECAY"},
    Placement{"knob", 770, 508, "SUSTAIN"},
    Placement{"knob", 820, 508, "RELEASE"},
    Placement{"knob", 892, 508, "ATTACK"},
    Placement{"knob", 942, 508, "DECAY"},
    Placement{"knob", 992, 508, "SUSTAIN"},
    Placement{"knob", 1042, 508, "RELEASE"},
};

// Areas the controls draw into themselves (text fields and the file-menu
// button) that the background decorates.
inline constexpr int kProgramNumber[4] = {162, 460, 184, 476};
inline constexpr int kProgramName[4] = {213, 460, 405, 476};
inline constexpr int kFileMenu[4] = {364, 488, 404, 504};
inline constexpr int kVersionText[4] = {20, 500, 128, 514};
inline constexpr int kVoiceDigits[4] = {316, 516, 340, 532};

} // namespace artwork
