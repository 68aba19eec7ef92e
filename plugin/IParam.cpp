#include "IParam.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Copies at most size - 1 characters and always terminates.
void CopyText(char* dest, const char* src, size_t size)
{
  std::snprintf(dest, size, "%s", src ? src : "");
}

// Truncation toward zero that stays defined for values beyond the int range.
int TruncToInt(double value)
{
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

// The display-text array is granted in pages of this many bytes.
constexpr size_t kDisplayTextPage = 4096;

} // namespace

IParam::IParam() = default;

void IParam::InitTexts(const char* name, const char* label, const char* group)
{
  CopyText(mName, name, sizeof(mName));
  CopyText(mLabel, label, sizeof(mLabel));
  CopyText(mParamGroup, group, sizeof(mParamGroup));
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, const char* group)
{
  if (mType == kTypeNone) mType = kTypeBool;
  InitTexts(name, label, group);
  mValue = mDefault = defaultVal ? 1.0 : 0.0;
  mMin = 0.0;
  mMax = 1.0;
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
  SetDisplayText(0, "off");
  SetDisplayText(1, "on");
}

void IParam::InitEnum(const char* name, int defaultVal, int nEnums, const char* label, const char* group)
{
  if (mType == kTypeNone) mType = kTypeEnum;
  InitTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = 0.0;
  mMax = std::max(nEnums - 1, 1);
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     const char* group)
{
  if (mType == kTypeNone) mType = kTypeInt;
  InitTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = minVal;
  // In double: minVal + 1 must not overflow for INT_MAX.
  mMax = std::max(static_cast<double>(maxVal), static_cast<double>(minVal) + 1.0);
  mStep = 1.0;
  mShape = 1.0;
  mDisplayPrecision = 0;
}

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                        const char* label, const char* group, double shape)
{
  if (mType == kTypeNone) mType = kTypeDouble;
  InitTexts(name, label, group);
  mValue = mDefault = defaultVal;
  mMin = minVal;
  mMax = std::max(maxVal, minVal + step);
  mStep = step;
  SetShape(shape);

  mDisplayPrecision = 0;
  for (double s = step; mDisplayPrecision < 6 && s != std::floor(s); s *= 10.0) ++mDisplayPrecision;
}

void IParam::SetShape(double shape)
{
  if (shape != 0.0) mShape = shape;
}

void IParam::Set(double value)
{
  // A NaN from a host would otherwise poison every later computation.
  if (std::isnan(value)) return;
  mValue = std::clamp(value, mMin, mMax);
}

void IParam::SetNormalized(double normalized)
{
  if (std::isnan(normalized)) return;
  // Outside 0 ... 1 the taper has no meaning (a negative base with a fractional shape is NaN).
  normalized = std::clamp(normalized, 0.0, 1.0);
  mValue = GetNonNormalized(normalized);
  if (mType != kTypeDouble && mStep > 0.0) mValue = std::floor(mValue / mStep + 0.5) * mStep;
  mValue = std::min(mValue, mMax);
}

int IParam::Int() const
{
  return TruncToInt(mValue);
}

double IParam::DBToAmp() const
{
  return std::exp(mValue * 0.1151292546497);
}

double IParam::GetNormalized(double nonNormalizedValue) const
{
  if (!(mMax > mMin)) return 0.0;
  const double x = std::clamp(nonNormalizedValue, mMin, mMax);
  return std::pow((x - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParam::GetNonNormalized(double normalizedValue) const
{
  return (mMax - mMin) * std::pow(normalizedValue, mShape) + mMin;
}

void IParam::GetBounds(double* lo, double* hi) const
{
  if (lo) *lo = mMin;
  if (hi) *hi = mMax;
}

void IParam::SetDisplayText(int value, const char* text)
{
  if (mDisplayTexts.size() == mDisplayTexts.capacity()) {
    mDisplayTexts.reserve(mDisplayTexts.capacity() + kDisplayTextPage / sizeof(DisplayText));
  }
  DisplayText& entry = mDisplayTexts.emplace_back();
  entry.mValue = value;
  CopyText(entry.mText, text, sizeof(entry.mText));
}

const char* IParam::GetDisplayText(int value) const
{
  for (const DisplayText& entry : mDisplayTexts) {
    if (entry.mValue == value) return entry.mText;
  }
  return "";
}

const char* IParam::GetDisplayTextAtIdx(int idx, int* value) const
{
  if (idx < 0 || idx >= GetNDisplayTexts()) return "";
  const DisplayText& entry = mDisplayTexts[idx];
  if (value) *value = entry.mValue;
  return entry.mText;
}

bool IParam::MapDisplayText(const char* str, int* value) const
{
  if (!str) return false;
  for (const DisplayText& entry : mDisplayTexts) {
    if (std::strcmp(entry.mText, str) == 0) {
      if (value) *value = entry.mValue;
      return true;
    }
  }
  return false;
}

void IParam::GetDisplayForHost(double value, bool normalized, char* text, bool withDisplayText) const
{
  if (normalized) value = GetNonNormalized(value);

  if (mDisplayTextFunc) {
    mDisplayTextFunc(value, text);
    return;
  }

  if (withDisplayText && !mDisplayTexts.empty()) {
    const char* displayText = GetDisplayText(TruncToInt(value));
    if (displayText[0] != '\0') {
      CopyText(text, displayText, kMaxParamDisplayLen);
      return;
    }
  }

  if (mDisplayPrecision == 0) {
    std::snprintf(text, kMaxParamDisplayLen, "%d", TruncToInt(value));
  } else {
    std::snprintf(text, kMaxParamDisplayLen, "%.*f", mDisplayPrecision, value);
  }
}

const char* IParam::GetLabelForHost() const
{
  return GetDisplayText(Int())[0] != '\0' ? "" : mLabel;
}
