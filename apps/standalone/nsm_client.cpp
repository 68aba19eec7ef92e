#include "apps/standalone/nsm_client.h"

#include <cstring>
#include <unistd.h>

namespace standalone {

NsmClient::~NsmClient()
{
  if (mManager) lo_address_free(mManager);
  if (mServer) lo_server_free(mServer);
}

bool NsmClient::Announce(const std::string& url, const std::string& executable, bool optionalGui,
                         std::string& error)
{
  mManager = lo_address_new_from_url(url.c_str());
  if (!mManager) {
    error = "NSM_URL \"" + url + "\" is not an OSC address";
    return false;
  }
  mServer = lo_server_new_with_proto(nullptr, lo_address_get_protocol(mManager), nullptr);
  if (!mServer) {
    error = "cannot open an OSC port for the session manager";
    return false;
  }
  lo_server_add_method(mServer, nullptr, nullptr, &NsmClient::OnMessage, this);
  const char* capabilities = optionalGui ? ":optional-gui:" : "";
  if (lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/nsm/server/announce", "sssiii", "Zorva",
                   capabilities, executable.c_str(), 1, 2, int(getpid())) < 0) {
    error = "cannot reach the session manager at " + url;
    return false;
  }
  return true;
}

int NsmClient::Fd() const
{
  return mServer ? lo_server_get_socket_fd(mServer) : -1;
}

void NsmClient::Process()
{
  if (!mServer) return;
  while (lo_server_recv_noblock(mServer, 0) > 0) {}
}

namespace {

// An OSC string argument starts where its lo_arg does, but OSC aligns
// arguments to four bytes only: reaching it through the union's member would be
// a misaligned access.
const char* Text(const lo_arg* arg)
{
  return reinterpret_cast<const char*>(arg);
}

} // namespace

int NsmClient::OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message, void* user)
{
  auto* self = static_cast<NsmClient*>(user);
  const std::string t = types ? types : "";
  if (!std::strcmp(path, "/nsm/client/open") && t == "sss") {
    self->mOpen = OpenRequest{Text(argv[0]), Text(argv[1]), Text(argv[2])};
  } else if (!std::strcmp(path, "/nsm/client/save")) {
    self->mSave = true;
  } else if (!std::strcmp(path, "/nsm/client/show_optional_gui")) {
    self->mGui = true;
  } else if (!std::strcmp(path, "/nsm/client/hide_optional_gui")) {
    self->mGui = false;
  } else if (!std::strcmp(path, "/reply") && argc >= 1 && t[0] == 's' &&
             !std::strcmp(Text(argv[0]), "/nsm/server/announce")) {
    self->mAnnounced = true;
  } else if (!std::strcmp(path, "/error") && t.rfind("sis", 0) == 0 &&
             !std::strcmp(Text(argv[0]), "/nsm/server/announce")) {
    self->mRefusal = Text(argv[2]);
  }
  return 0;
}

std::optional<NsmClient::OpenRequest> NsmClient::TakeOpen()
{
  auto open = std::move(mOpen);
  mOpen.reset();
  return open;
}

bool NsmClient::TakeSave()
{
  const bool save = mSave;
  mSave = false;
  return save;
}

std::optional<bool> NsmClient::TakeGuiRequest()
{
  auto gui = mGui;
  mGui.reset();
  return gui;
}

void NsmClient::Reply(const char* path, const std::string& message)
{
  lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/reply", "ss", path, message.c_str());
}

void NsmClient::Error(const char* path, int code, const std::string& message)
{
  lo_send_from(mManager, mServer, LO_TT_IMMEDIATE, "/error", "sis", path, code, message.c_str());
}

void NsmClient::GuiShown(bool shown)
{
  lo_send_from(mManager, mServer, LO_TT_IMMEDIATE,
               shown ? "/nsm/client/gui_is_shown" : "/nsm/client/gui_is_hidden", "");
}

} // namespace standalone
