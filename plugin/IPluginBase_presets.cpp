// State serialisation, programs, and the program (FXP) and bank (FXB) files.

#include "IPluginBase.h"

#include "Log.h"
#include "SafeFile.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace {

constexpr int32_t kCcnK = FourCC("CcnK");
constexpr int32_t kFxCk = FourCC("FxCk");
constexpr int32_t kFPCh = FourCC("FPCh");
constexpr int32_t kFxBk = FourCC("FxBk");
constexpr int32_t kFBCh = FourCC("FBCh");
constexpr int kFXPVersion = 1;
constexpr int kFXBVersion = 2;
constexpr int kFXBReservedBytes = 124;
// Program and bank files are small; anything far larger is not one of them.
constexpr std::uintmax_t kMaxFileBytes = 64u << 20;

// A normalised value from a file: NaN and values outside 0...1 would leave the
// parameter outside its range or undefined.
double SafeNormalized(float value)
{
  if (!(value >= 0.0f)) return 0.0;
  return value > 1.0f ? 1.0 : static_cast<double>(value);
}

void PutFixedName(ByteChunk* out, const char* name)
{
  char field[IPluginBase::kFXPNameLen] = {};
  std::strncpy(field, name ? name : "", IPluginBase::kFXPNameLen - 1);
  out->PutBytes(field, IPluginBase::kFXPNameLen);
}

std::string GetFixedName(const ByteChunk& file, int pos)
{
  char field[IPluginBase::kFXPNameLen] = {};
  if (file.GetBytes(field, IPluginBase::kFXPNameLen, pos) < 0) return {};
  return std::string(field, strnlen(field, IPluginBase::kFXPNameLen));
}

bool ReadFile(const std::string& path, ByteChunk* chunk)
{
  if (path.empty()) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxFileBytes) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return false;
  chunk->Clear();
  chunk->PutBytes(bytes.data(), static_cast<int>(bytes.size()));
  return true;
}

bool WriteFile(const std::string& path, const ByteChunk& chunk)
{
  if (path.empty()) return false;
  std::string error;
  if (WriteFileSafely(path, chunk.GetData(), size_t(chunk.Size()), &error)) return true;
  Trace(TRACELOC, "%s", error.c_str());
  return false;
}

// Text built in memory, then written safely in one go: a dump that fails
// half-way leaves the old file as it was.
class TextFile
{
public:
  TextFile() : mFile(open_memstream(&mData, &mSize)) {}
  ~TextFile()
  {
    if (mFile) std::fclose(mFile);
    std::free(mData);
  }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  FILE* get() const { return mFile; }
  bool Save(const char* path)
  {
    return mFile && std::fflush(mFile) == 0 && !std::ferror(mFile) && WriteFileSafely(path, mData, mSize);
  }

private:
  char* mData = nullptr;
  size_t mSize = 0;
  FILE* mFile;
};

} // namespace

// ---------------------------------------------------------------------------
// Free helpers

IPreset* GetNextUninitializedPreset(const PtrList<IPreset>* presets)
{
  for (IPreset* preset : *presets) {
    if (!preset->mInitialized) return preset;
  }
  return nullptr;
}

void MakeDefaultUserPresetName(const PtrList<IPreset>* presets, char* text)
{
  int nUser = 0;
  for (const IPreset* preset : *presets) {
    if (std::strstr(preset->mName, "user preset")) ++nUser;
  }
  std::snprintf(text, kMaxPresetNameLen, "%s %d", "user preset", nUser + 1);
}

// ---------------------------------------------------------------------------
// State

bool IPluginBase::SerializeParams(ByteChunk* chunk)
{
  MutexLock lock(mMutex);
  for (const IParam* param : mParams) chunk->Put(param->Value());
  return true;
}

int IPluginBase::UnserializeParams(const ByteChunk* chunk, int startPos)
{
  MutexLock lock(mMutex);
  int pos = startPos;
  for (int i = 0; i < NParams() && pos >= 0; ++i) {
    double value = 0.0;
    pos = chunk->Get(&value, pos);
    if (std::isnan(value)) value = 0.0; // treated like a missing value
    GetParam(i)->Set(value);
  }
  OnParamReset();
  return pos;
}

bool IPluginBase::CompareState(const unsigned char* data, int startPos)
{
  if (NParams() == 0) return true;
  if (!data || startPos < 0) return false;
  const unsigned char* p = data + static_cast<size_t>(startPos) * sizeof(double);
  for (int i = 0; i < NParams(); ++i, p += sizeof(double)) {
    double stored;
    std::memcpy(&stored, p, sizeof(double));
    const float a = static_cast<float>(GetParam(i)->Value());
    const float b = static_cast<float>(stored);
    if (!(std::fabs(a - b) < 0.00001f)) return false;
  }
  return true;
}

void IPluginBase::InitChunkWithFrameworkVer(ByteChunk* chunk)
{
  chunk->Clear();
  chunk->Put(kFrameworkMagic);
  chunk->Put(kFrameworkVersion);
}

int IPluginBase::GetFrameworkVerFromChunk(const ByteChunk* chunk, int* pPos)
{
  int32_t magic = 0, version = 0;
  const int pos = *pPos;
  if (pos < 0) return 0;
  const int afterMagic = chunk->Get(&magic, pos);
  if (afterMagic < 0 || magic != kFrameworkMagic) return 0;
  *pPos = chunk->Get(&version, afterMagic);
  return *pPos < 0 ? 0 : version;
}

bool IPluginBase::SerializePresets(ByteChunk* chunk)
{
  MutexLock lock(mMutex);
  for (const IPreset* preset : mPresets) {
    chunk->PutStr(preset->mName);
    chunk->Put(static_cast<uint8_t>(preset->mInitialized ? 1 : 0));
    if (preset->mInitialized) chunk->PutChunk(preset->mChunk);
  }
  return true;
}

int IPluginBase::UnserializePresets(const ByteChunk* chunk, int startPos)
{
  MutexLock lock(mMutex);
  int pos = startPos;
  std::string name;
  for (int i = 0; i < NPresets() && pos >= 0; ++i) {
    IPreset* preset = GetPreset(i);
    // An empty stored name stays empty rather than taking the previous program's.
    name.clear();
    pos = chunk->GetStr(name, pos);
    // A name whose characters are missing ends the bank before anything is renamed.
    if (pos < 0 || pos > chunk->Size()) {
      pos = -1;
      break;
    }
    preset->SetName(name.c_str());
    uint8_t flag = 0;
    pos = chunk->Get(&flag, pos);
    if (pos >= 0) preset->mInitialized = flag != 0;
    if (preset->mInitialized) {
      pos = UnserializeState(chunk, pos);
      if (pos > 0) {
        preset->mChunk.Clear();
        SerializeState(&preset->mChunk);
      }
    }
  }
  RestorePreset(mCurrentPresetIdx);
  return pos;
}

// ---------------------------------------------------------------------------
// Programs

IPreset* IPluginBase::TakeNextUninitializedPreset(const char* name)
{
  IPreset* preset = GetNextUninitializedPreset(&mPresets);
  if (!preset) return nullptr;
  preset->mInitialized = true;
  preset->SetName(name ? name : "Empty");
  preset->mChunk.Clear();
  return preset;
}

void IPluginBase::MakeDefaultPreset(const char* name, int nPresets)
{
  MutexLock lock(mMutex);
  for (int i = 0; i < nPresets; ++i) {
    IPreset* preset = TakeNextUninitializedPreset(name);
    if (!preset) break;
    SerializeState(&preset->mChunk);
  }
}

void IPluginBase::EnsureDefaultPreset()
{
  MakeDefaultPreset("Empty", NPresets());
}

bool IPluginBase::MakePreset(const char* name, ...)
{
  MutexLock lock(mMutex);
  IPreset* preset = TakeNextUninitializedPreset(name);
  if (!preset) return false;
  va_list vp;
  va_start(vp, name);
  for (const IParam* param : mParams) {
    const double value = param->Type() == IParam::kTypeDouble ? va_arg(vp, double) : va_arg(vp, int);
    preset->mChunk.Put(value);
  }
  va_end(vp);
  return true;
}

bool IPluginBase::MakePresetFromNamedParams(const char* name, int nParamsNamed, ...)
{
  MutexLock lock(mMutex);
  IPreset* preset = TakeNextUninitializedPreset(name);
  if (!preset) return false;
  std::vector<double> values;
  values.reserve(static_cast<size_t>(NParams()));
  for (const IParam* param : mParams) values.push_back(param->Value());
  va_list vp;
  va_start(vp, nParamsNamed);
  for (int i = 0; i < nParamsNamed; ++i) {
    const int idx = va_arg(vp, int);
    const IParam* param = GetParam(idx);
    // Without the parameter the type of the value that follows is unknown, so
    // nothing after it can be read safely.
    if (!param) {
      Trace(__func__, __LINE__, "no parameter %d", idx);
      break;
    }
    values[idx] = param->Type() == IParam::kTypeDouble ? va_arg(vp, double) : va_arg(vp, int);
  }
  va_end(vp);
  for (double value : values) preset->mChunk.Put(value);
  return true;
}

bool IPluginBase::MakePresetFromChunk(const char* name, const ByteChunk* chunk)
{
  MutexLock lock(mMutex);
  IPreset* preset = TakeNextUninitializedPreset(name);
  if (!preset) return false;
  if (chunk) preset->mChunk.PutChunk(*chunk);
  return true;
}

bool IPluginBase::MakePresetFromBlob(const char* name, const char* base64, int size)
{
  MutexLock lock(mMutex);
  IPreset* preset = TakeNextUninitializedPreset(name);
  if (!preset) return false;
  preset->mChunk.Resize(size);
  Base64Decode(base64, preset->mChunk.GetData(), preset->mChunk.Size());
  return true;
}

void IPluginBase::PruneUninitializedPresets()
{
  MutexLock lock(mMutex);
  const IPreset* current = GetPreset(mCurrentPresetIdx);
  for (int i = NPresets() - 1; i >= 0; --i) {
    if (!GetPreset(i)->mInitialized) mPresets.Delete(i);
  }
  // Keep pointing at the same program; if it went, at the first.
  const int idx = mPresets.Find(current);
  mCurrentPresetIdx = idx >= 0 ? idx : 0;
}

bool IPluginBase::RestorePreset(int idx)
{
  MutexLock lock(mMutex);
  IPreset* preset = GetPreset(idx);
  if (!preset) return false;
  if (preset->mInitialized) {
    if (UnserializeState(&preset->mChunk, 0) <= 0) return false;
  } else {
    // A never-used slot becomes a user program holding the current sound.
    preset->mInitialized = true;
    char name[kMaxPresetNameLen];
    MakeDefaultUserPresetName(&mPresets, name);
    preset->SetName(name);
    preset->mChunk.Clear();
    if (!SerializeState(&preset->mChunk)) return false;
  }
  mCurrentPresetIdx = idx;
  PresetsChangedByHost();
  RedrawParamControls();
  return true;
}

bool IPluginBase::RestorePreset(const char* name)
{
  if (!name || !*name) return false;
  MutexLock lock(mMutex);
  for (int i = 0; i < NPresets(); ++i) {
    if (std::strcmp(GetPreset(i)->mName, name) == 0) return RestorePreset(i);
  }
  return false;
}

const char* IPluginBase::GetPresetName(int idx) const
{
  const IPreset* preset = GetPreset(idx);
  return preset ? preset->mName : "";
}

void IPluginBase::ModifyCurrentPreset(const char* name)
{
  MutexLock lock(mMutex);
  IPreset* preset = GetPreset(mCurrentPresetIdx);
  if (!preset) return;
  preset->mChunk.Clear();
  SerializeState(&preset->mChunk);
  if (name && *name) preset->SetName(name);
}

// ---------------------------------------------------------------------------
// Program and bank files

void IPluginBase::PutFXPParamRecord(ByteChunk* out, const char* name, const ByteChunk* state)
{
  out->PutBE(kCcnK);
  out->PutBE(int32_t{0});
  out->PutBE(kFxCk);
  out->PutBE(int32_t{kFXPVersion});
  out->PutBE(static_cast<int32_t>(mUniqueID));
  out->PutBE(static_cast<int32_t>(GetEffectVersion(true)));
  out->PutBE(static_cast<int32_t>(NParams()));
  PutFixedName(out, name);
  int pos = 0;
  for (const IParam* param : mParams) {
    double value = 0.0;
    if (state) {
      if (pos >= 0) pos = state->Get(&value, pos);
      if (pos < 0) value = 0.0;
    } else {
      value = param->Value();
    }
    out->PutBE(static_cast<float>(param->GetNormalized(value)));
  }
}

bool IPluginBase::SaveProgramAsFXP(ByteChunk* out)
{
  MutexLock lock(mMutex);
  out->Clear();
  const char* name = GetPresetName(mCurrentPresetIdx);
  if (!DoesStateChunks()) {
    PutFXPParamRecord(out, name, nullptr);
    return true;
  }
  ByteChunk state;
  InitChunkWithFrameworkVer(&state);
  if (!SerializeState(&state)) return false;
  out->PutBE(kCcnK);
  out->PutBE(static_cast<int32_t>(state.Size() + 60));
  out->PutBE(kFPCh);
  out->PutBE(int32_t{kFXPVersion});
  out->PutBE(static_cast<int32_t>(mUniqueID));
  out->PutBE(static_cast<int32_t>(GetEffectVersion(true)));
  out->PutBE(static_cast<int32_t>(NParams()));
  PutFixedName(out, name);
  out->PutBE(static_cast<int32_t>(state.Size()));
  out->PutChunk(state);
  return true;
}

bool IPluginBase::SaveBankAsFXB(ByteChunk* out)
{
  MutexLock lock(mMutex);
  out->Clear();
  ByteChunk bank;
  if (DoesStateChunks()) {
    InitChunkWithFrameworkVer(&bank);
    if (!SerializePresets(&bank)) return false;
  }
  out->PutBE(kCcnK);
  out->PutBE(static_cast<int32_t>(DoesStateChunks() ? bank.Size() + 160 : 0));
  out->PutBE(DoesStateChunks() ? kFBCh : kFxBk);
  out->PutBE(int32_t{kFXBVersion});
  out->PutBE(static_cast<int32_t>(mUniqueID));
  out->PutBE(static_cast<int32_t>(GetEffectVersion(true)));
  out->PutBE(static_cast<int32_t>(NPresets()));
  out->PutBE(static_cast<int32_t>(mCurrentPresetIdx));
  const uint8_t reserved[kFXBReservedBytes] = {};
  out->PutBytes(reserved, kFXBReservedBytes);
  if (DoesStateChunks()) {
    out->PutBE(static_cast<int32_t>(bank.Size()));
    out->PutChunk(bank);
  } else {
    for (const IPreset* preset : mPresets) PutFXPParamRecord(out, preset->mName, &preset->mChunk);
  }
  return true;
}

bool IPluginBase::LoadProgramFromFXP(const ByteChunk& file)
{
  MutexLock lock(mMutex);
  auto fail = [this](std::string why) {
    mFileError = std::move(why);
    return false;
  };
  // The whole header must be there before anything is believed or changed.
  int32_t magic = 0, fxMagic = 0, version = 0, id = 0;
  if (file.Size() < kFXPHeaderSize) return fail("truncated: shorter than a program header");
  file.GetBE(&magic, 0);
  file.GetBE(&fxMagic, 8);
  file.GetBE(&version, 12);
  file.GetBE(&id, 16);
  if (magic != kCcnK) return fail("not a program file (wrong identifier)");
  if (version != kFXPVersion) return fail("unsupported program format version " + std::to_string(version));
  if (id != mUniqueID) return fail("made for another instrument (wrong plug-in identifier)");
  const std::string name = GetFixedName(file, 28);

  if (fxMagic == kFPCh && DoesStateChunks()) {
    int32_t length = 0;
    if (file.GetBE(&length, kFXPHeaderSize) < 0 || length < 0) return fail("truncated: no state length");
    const int start = kFXPHeaderSize + 4;
    if (static_cast<int64_t>(start) + length > file.Size()) return fail("truncated: state data cut short");
    // The state is read from its own copy so that it cannot run into whatever follows.
    ByteChunk state;
    state.PutBytes(file.GetData() + start, length);
    int pos = 0;
    GetFrameworkVerFromChunk(&state, &pos);
    ByteChunk before;
    SerializeState(&before);
    if (UnserializeState(&state, pos) <= 0) {
      UnserializeState(&before, 0);
      return fail("state data unreadable");
    }
  } else if (fxMagic == kFxCk) {
    int32_t count = 0;
    file.GetBE(&count, 24);
    const int64_t entries = std::max<int64_t>(NParams(), count);
    if (kFXPHeaderSize + 4 * entries > file.Size()) return fail("truncated: parameter values cut short");
    int pos = kFXPHeaderSize;
    for (IParam* param : mParams) {
      float value = 0.0f;
      pos = file.GetBE(&value, pos);
      param->SetNormalized(SafeNormalized(value));
    }
  } else {
    return fail("unsupported program form");
  }

  // A never-used slot would otherwise be renamed "user preset N" by the restore
  // below, losing the name the file carries.
  IPreset* current = GetPreset(mCurrentPresetIdx);
  if (current && !name.empty()) current->mInitialized = true;
  ModifyCurrentPreset(name.c_str());
  if (!RestorePreset(mCurrentPresetIdx)) {
    // No program to hold the sound (a plug-in without programs): still announce it.
    OnParamReset();
    RedrawParamControls();
  }
  InformHostOfProgramChange();
  return true;
}

bool IPluginBase::LoadBankFromFXB(const ByteChunk& file)
{
  MutexLock lock(mMutex);
  auto fail = [this](std::string why) {
    mFileError = std::move(why);
    return false;
  };
  int32_t magic = 0, bankMagic = 0, id = 0, count = 0, current = 0;
  if (file.Size() < kFXBHeaderSize) return fail("truncated: shorter than a bank header");
  file.GetBE(&magic, 0);
  file.GetBE(&bankMagic, 8);
  file.GetBE(&id, 16);
  file.GetBE(&count, 24);
  file.GetBE(&current, 28);
  if (magic != kCcnK) return fail("not a bank file (wrong identifier)");
  if (id != mUniqueID) return fail("made for another instrument (wrong plug-in identifier)");
  if (bankMagic != kFxBk && !(bankMagic == kFBCh && DoesStateChunks())) return fail("unsupported bank form");
  if (count <= 0) return fail("holds no programs");
  // Programs past the instrument's slots are not read; the current one must be among those read.
  const int nRead = std::min<int>(count, NPresets());
  if (current < 0 || current >= nRead)
    return fail("current program " + std::to_string(current) + " is out of range (0 to " +
                std::to_string(nRead - 1) + ")");

  if (bankMagic == kFBCh && DoesStateChunks()) {
    int32_t length = 0;
    if (file.GetBE(&length, kFXBHeaderSize) < 0 || length < 0) return fail("truncated: no state length");
    const int start = kFXBHeaderSize + 4;
    if (static_cast<int64_t>(start) + length > file.Size()) return fail("truncated: state data cut short");
    ByteChunk bank;
    bank.PutBytes(file.GetData() + start, length);
    int pos = 0;
    GetFrameworkVerFromChunk(&bank, &pos);

    // A bank that breaks off half-way must not leave half a bank behind.
    struct Saved
    {
      bool mInitialized;
      std::string mName;
      ByteChunk mChunk;
    };
    std::vector<Saved> saved;
    for (const IPreset* preset : mPresets)
      saved.push_back({preset->mInitialized, preset->mName, preset->mChunk});
    const int savedIdx = mCurrentPresetIdx;
    ByteChunk live;
    SerializeState(&live);

    if (UnserializePresets(&bank, pos) < 0) {
      for (int i = 0; i < NPresets(); ++i) {
        IPreset* preset = GetPreset(i);
        preset->mInitialized = saved[i].mInitialized;
        preset->SetName(saved[i].mName.c_str());
        preset->mChunk = saved[i].mChunk;
      }
      mCurrentPresetIdx = savedIdx;
      UnserializeState(&live, 0);
      RedrawParamControls();
      return fail("state data of the programs unreadable");
    }
    InformHostOfProgramChange();
    return true;
  }

  const int recordSize = kFXPHeaderSize + 4 * NParams();
  const int64_t held = (file.Size() - kFXBHeaderSize) / recordSize;
  if (count > held)
    return fail("promises " + std::to_string(count) + " programs but holds " + std::to_string(held) +
                " (truncated)");

  // Check every record first: a bank that cannot be read changes nothing.
  for (int i = 0; i < nRead; ++i) {
    const int rec = kFXBHeaderSize + i * recordSize;
    int32_t progMagic = 0, fxMagic = 0, version = 0, nParams = 0;
    file.GetBE(&progMagic, rec);
    file.GetBE(&fxMagic, rec + 8);
    file.GetBE(&version, rec + 12);
    file.GetBE(&nParams, rec + 24);
    if (progMagic != kCcnK || fxMagic != kFxCk || version != kFXPVersion || nParams != NParams())
      return fail("program " + std::to_string(i) +
                  " is malformed (wrong identifier, version or parameter count)");
  }

  for (int i = 0; i < nRead; ++i) {
    const int rec = kFXBHeaderSize + i * recordSize;
    const std::string name = GetFixedName(file, rec + 28);
    // A slot whose stored state cannot be read is still the one being replaced:
    // the bank's program must not land in whichever program happens to be current.
    if (!RestorePreset(i)) {
      GetPreset(i)->mInitialized = true;
      mCurrentPresetIdx = i;
    }
    int pos = rec + kFXPHeaderSize;
    for (IParam* param : mParams) {
      float value = 0.0f;
      pos = file.GetBE(&value, pos);
      param->SetNormalized(SafeNormalized(value));
    }
    ModifyCurrentPreset(name.c_str());
  }
  RestorePreset(current);
  InformHostOfProgramChange();
  return true;
}

bool IPluginBase::SaveProgramAsFXP(const std::string& file)
{
  if (file.empty()) return false;
  ByteChunk out;
  return SaveProgramAsFXP(&out) && WriteFile(file, out);
}

bool IPluginBase::SaveBankAsFXB(const std::string& file)
{
  if (file.empty()) return false;
  ByteChunk out;
  return SaveBankAsFXB(&out) && WriteFile(file, out);
}

bool IPluginBase::LoadProgramFromFXP(const std::string& file)
{
  ByteChunk chunk;
  if (ReadFile(file, &chunk)) return LoadProgramFromFXP(chunk);
  mFileError = "cannot be read (missing, not a regular file, or too large)";
  return false;
}

bool IPluginBase::LoadBankFromFXB(const std::string& file)
{
  ByteChunk chunk;
  if (ReadFile(file, &chunk)) return LoadBankFromFXB(chunk);
  mFileError = "cannot be read (missing, not a regular file, or too large)";
  return false;
}

// ---------------------------------------------------------------------------
// Source dumps

bool IPluginBase::DumpPresetSrcCode(const char* file, const char* paramEnumNames[])
{
  if (!file || !*file) return false;
  TextFile fp;
  MutexLock lock(mMutex);
  std::fprintf(fp.get(), "  MakePresetFromNamedParams(\"name\", %d", NParams());
  for (int i = 0; i < NParams(); ++i) {
    const IParam* param = GetParam(i);
    char value[32];
    switch (param->Type()) {
    case IParam::kTypeBool:
      std::snprintf(value, sizeof value, "%s", param->Value() >= 0.5 ? "true" : "false");
      break;
    case IParam::kTypeInt:
    case IParam::kTypeEnum: std::snprintf(value, sizeof value, "%d", param->Int()); break;
    default: std::snprintf(value, sizeof value, "%.6f", param->Value()); break;
    }
    if (paramEnumNames && paramEnumNames[i])
      std::fprintf(fp.get(), ",\n    %s, %s", paramEnumNames[i], value);
    else
      std::fprintf(fp.get(), ",\n    %d, %s", i, value);
  }
  std::fprintf(fp.get(), ");\n");
  return fp.Save(file);
}

namespace {
void WriteBlobCall(FILE* fp, const IPreset* preset)
{
  const std::string blob = Base64Encode(preset->mChunk.GetData(), preset->mChunk.Size());
  std::fprintf(fp, "MakePresetFromBlob(\"%s\", \"", preset->mName);
  std::fprintf(fp, "%s\", %i);\n", blob.c_str(), preset->mChunk.Size());
}
} // namespace

bool IPluginBase::DumpPresetBlob(const char* file)
{
  if (!file || !*file) return false;
  MutexLock lock(mMutex);
  const IPreset* preset = GetPreset(mCurrentPresetIdx);
  if (!preset) return false;
  TextFile fp;
  WriteBlobCall(fp.get(), preset);
  return fp.Save(file);
}

bool IPluginBase::DumpBankBlob(const char* file)
{
  if (!file || !*file) return false;
  TextFile fp;
  MutexLock lock(mMutex);
  for (const IPreset* preset : mPresets) WriteBlobCall(fp.get(), preset);
  return fp.Save(file);
}
