#include "zorva/http.h"
#include "ini/profile_ini.h"
#include "plugin/graphics/IGraphics.h"
#include "zorva/synth.h"

#include <curl/curl.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace UpdateCheck {
namespace {

const char* nonEmptyEnv(const char* name)
{
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

bool readWholeFile(const char* path, std::string* text)
{
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text->append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

struct Sink
{
  std::string* body;
  bool overflow = false;
};

size_t collect(char* data, size_t size, size_t count, void* user)
{
  auto* sink = static_cast<Sink*>(user);
  const size_t n = size * count;
  if (sink->body->size() + n > kMaxReplyBytes) {
    sink->overflow = true;
    return 0; // ends the transfer with a write error
  }
  sink->body->append(data, n);
  return n;
}

struct EasyHandle
{
  CURL* curl = curl_easy_init();
  ~EasyHandle()
  {
    if (curl) curl_easy_cleanup(curl);
  }
};

} // namespace

Settings Settings::load(const std::string& iniPath)
{
  Settings s;
  char text[1024];
  GetPrivateProfileString(kConfigSection, kServerKey, "", text, sizeof(text), iniPath.c_str());
  if (*text) s.serverURL = text;
  GetPrivateProfileString(kConfigSection, kDownloadKey, "", text, sizeof(text), iniPath.c_str());
  if (*text) s.downloadPage = text;
  if (const char* url = nonEmptyEnv("ZORVA_UPDATE_URL")) s.serverURL = url;
  if (const char* url = nonEmptyEnv("ZORVA_DOWNLOAD_URL")) s.downloadPage = url;
  if (const char* ca = nonEmptyEnv("ZORVA_UPDATE_CA")) s.extraCAFile = ca;
  return s;
}

Reply fetch(const Settings& settings)
{
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

  Reply reply;
  reply.complete = false;
  EasyHandle h;
  if (!h.curl) return reply;
  CURL* c = h.curl;

  // The extra authorities go in as a blob, which replaces only the system's
  // bundle file; its folder of hashed certificates stays in use. Without such
  // a folder the bundle's contents join the blob (slower: every one is parsed).
  std::string bundle;
  if (!settings.extraCAFile.empty()) {
    char* systemFolder = nullptr;
    char* systemBundle = nullptr;
    const bool haveFolder = curl_easy_getinfo(c, CURLINFO_CAPATH, &systemFolder) == CURLE_OK && systemFolder;
    if (!haveFolder && curl_easy_getinfo(c, CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle) {
      readWholeFile(systemBundle, &bundle);
      bundle += '\n';
    }
    if (!readWholeFile(settings.extraCAFile.c_str(), &bundle)) return reply;
    curl_blob blob{bundle.data(), bundle.size(), CURL_BLOB_NOCOPY};
    curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
  }

  Sink sink{&reply.body};
  curl_easy_setopt(c, CURLOPT_URL, settings.serverURL.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
  // Time-outs by signal would disturb the host's threads.
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);

  const CURLcode code = curl_easy_perform(c);
  long status = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
  reply.complete = code == CURLE_OK && !sink.overflow;
  reply.success = status >= 200 && status < 300;
  if (!reply.complete) reply.body.clear();
  return reply;
}

Outcome check(const Settings& settings)
{
  const std::string domain = urlHost(settings.serverURL);
  try {
    return decide(fetch(settings), domain, urlHost(settings.downloadPage));
  } catch (...) {
    Outcome failed;
    failed.result = kException;
    failed.text = contactError(domain);
    return failed;
  }
}

} // namespace UpdateCheck

int Synth::checkVersionAgainstWeb()
{
  using namespace UpdateCheck;
  Settings settings;
  IGraphics* gui = graphics;
  try {
    settings = Settings::load(iniPath);
    const Outcome out = check(settings);
    if (!gui) return out.result;
    const int answer = gui->ShowMessageBox(out.text.c_str(), out.title.c_str(), out.type);
    if (out.kind == Outcome::kNewer && answer != IGraphics::kMsgBoxNo)
      gui->OpenURL(settings.downloadPage.c_str());
    return out.result;
  } catch (...) {
    if (gui) gui->ShowMessageBox(contactError(urlHost(settings.serverURL)).c_str(), kTitle, 0);
    return kException;
  }
}
