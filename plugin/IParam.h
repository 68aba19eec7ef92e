#pragma once

#include "IPluginStructs.h"

#include <vector>

// One automatable parameter: kind, range, step, taper, default, current value,
// names and the texts that replace particular values in the display.
// No lock of its own: the plug-in base writes values under its lock.
class IParam
{
public:
  enum EParamType { kTypeNone = 0, kTypeBool = 1, kTypeInt = 2, kTypeEnum = 3, kTypeDouble = 4 };

  // Formats value into text (kMaxParamDisplayLen bytes); when set, it alone decides the display.
  using DisplayTextFunc = void (*)(double value, char* text);

  IParam();
  ~IParam() = default;
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // The first initialisation fixes the kind; later ones change range and texts only.
  void InitBool(const char* name, bool defaultVal, const char* label = "", const char* group = "");
  void InitEnum(const char* name, int defaultVal, int nEnums, const char* label = "", const char* group = "");
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               const char* group = "");
  // shape 0.0 keeps the current shape; the default is not clamped into the range.
  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", const char* group = "", double shape = 1.0);

  void SetShape(double shape);

  // In the parameter's own units, clamped to the range.
  void Set(double value);
  // From 0 ... 1: tapered by the shape, quantised to the step unless the kind is double,
  // and limited to the maximum.
  void SetNormalized(double normalized);

  double Value() const { return mValue; }
  int Int() const;
  bool Bool() const { return mValue >= 0.5; }
  // The amplitude of Value() decibels.
  double DBToAmp() const;

  double GetNormalized() const { return GetNormalized(mValue); }
  double GetNormalized(double nonNormalizedValue) const;
  // Without quantisation or clamping.
  double GetNonNormalized(double normalizedValue) const;

  EParamType Type() const { return mType; }
  double GetDefault() const { return mDefault; }
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetStep() const { return mStep; }
  double GetShape() const { return mShape; }
  int GetPrecision() const { return mDisplayPrecision; }
  void GetBounds(double* lo, double* hi) const;

  // Appends; an existing entry for the same value is not replaced (lookups take the first).
  void SetDisplayText(int value, const char* text);
  int GetNDisplayTexts() const { return static_cast<int>(mDisplayTexts.size()); }
  // Text of the first entry for value, or "".
  const char* GetDisplayText(int value) const;
  // Text of entry idx and, if value is not null, its value; "" (value untouched) outside the table.
  const char* GetDisplayTextAtIdx(int idx, int* value = nullptr) const;
  // Value of the first entry whose text equals str exactly; false (value untouched) if none.
  bool MapDisplayText(const char* str, int* value) const;

  // Writes at most kMaxParamDisplayLen bytes into text.
  void GetDisplayForHost(char* text, bool withDisplayText = true) const
  {
    GetDisplayForHost(mValue, false, text, withDisplayText);
  }
  void GetDisplayForHost(double value, bool normalized, char* text, bool withDisplayText = true) const;

  const char* GetNameForHost() const { return mName; }
  // Empty when the current value has a non-empty display text, which already says everything.
  const char* GetLabelForHost() const;
  const char* GetParamGroupForHost() const { return mParamGroup; }

  DisplayTextFunc mDisplayTextFunc = nullptr;

private:
  struct DisplayText
  {
    int mValue;
    char mText[kMaxParamNameLen];
  };

  void InitTexts(const char* name, const char* label, const char* group);

  EParamType mType = kTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  char mName[kMaxParamNameLen] = {};
  char mLabel[kMaxParamNameLen] = {};
  char mParamGroup[kMaxParamNameLen] = {};
  std::vector<DisplayText> mDisplayTexts;
};
