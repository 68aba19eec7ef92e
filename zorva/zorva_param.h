#pragma once

#include <functional>

class IParam;

// Texts of the list parameters, position 0 first. A list parameter stores the
// position, so the order is part of every stored program and bank.
inline constexpr const char* labelVoices[] = {
    "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "14", "15", "16",
    "18", "20", "22", "24", "26", "28", "30", "32", "36", "40", "44", "48", "52", "56", "60", "64"};
inline constexpr const char* labelOffOn[] = {"Off", "On"};
inline constexpr const char* labelWaveForm[] = {"Sawtooth", "Pulse", "SawPulse", "Sine"};
inline constexpr const char* labelOscSyncMode[] = {"Off", "Soft", "Hard"};
inline constexpr const char* labelFilterMode[] = {"Off",      "Bypass",  "Lowpass", "Highpass",
                                                  "Bandpass", "Allpass", "Phaser"};
inline constexpr const char* labelLFOWaveForm[] = {"Sine", "Square", "Saw Dn", "Saw Up", "S/H", "3-Step"};
// The unipolar sources; labelModSrc keeps them at the same positions and adds
// the bipolar ones, so a position means the same source in either list.
inline constexpr const char* labelPosModSrc[] = {"Off",  "On",   "LFO1+", "LFO2+", "LFO3+", "Env1",
                                                 "Env2", "Env3", "Velo",  "Note+", "PBnd+", "Wheel"};
inline constexpr const char* labelModSrc[] = {"Off",  "On",   "LFO1+", "LFO2+", "LFO3+", "Env1",
                                              "Env2", "Env3", "Velo",  "Note+", "PBnd+", "Wheel",
                                              "LFO1", "LFO2", "LFO3",  "Note",  "PBend"};

// Gives access to the record of a parameter index (0 ... 99); may answer null.
using ParamAccess = std::function<IParam*(int index)>;

// Initialises all 100 parameter records: names, kinds, ranges, defaults,
// steps, shapes, list texts and display functions. Zorva::initParameters()
// calls it with access to the plug-in base's records.
void initZorvaParameters(const ParamAccess& getParam);

// A parameter's default in its own units (a list parameter's position); 0 for
// an index outside 0 ... 99. Lets engine code use the defaults without records.
double zorvaParameterDefault(int index);

// Initialises a record as an enumeration of count entries with the given texts
// (empty label and group). Synth::initListParameter forwards here; false when
// the index is outside 0 ... 99 or has no record.
bool initListParameter(const ParamAccess& getParam, int index, const char* name, int defaultValue, int count,
                       const char* const* texts);
void initListParameter(IParam& param, const char* name, int defaultValue, int count,
                       const char* const* texts);

// Display functions for IParam::mDisplayTextFunc: value in the parameter's own
// units, text a buffer of kMaxParamDisplayLen bytes.
void setDisplayTextForCutoff(double value, char* text); // Hz of the cutoff pitch
void setDisplayTextForDB(double value, char* text);     // amplitude in dB, "-oo" for silence
void setDisplayTextForPan(double value, char* text);    // "Center", "0.50 L", "1.00 R"
