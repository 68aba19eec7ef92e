#pragma once

// The client side of the session manager's OSC protocol. The messages only
// record requests; the main loop acts on them and answers through Reply or
// Error, so nothing here touches the instrument.

#include <lo/lo.h>

#include <optional>
#include <string>

namespace standalone {

class NsmClient
{
public:
  struct OpenRequest
  {
    std::string mPath;        // prefix for our files in the session
    std::string mDisplayName; // the session's name
    std::string mClientId;    // unique in the session; our JACK client name
  };

  ~NsmClient();

  // Creates our OSC endpoint and announces us to the server at url.
  bool Announce(const std::string& url, const std::string& executable, bool optionalGui, std::string& error);
  // Our socket, for poll().
  int Fd() const;
  // Handles every waiting message without blocking.
  void Process();

  // Requests received since last asked.
  std::optional<OpenRequest> TakeOpen();
  bool TakeSave();
  std::optional<bool> TakeGuiRequest(); // true show, false hide
  // The server's answer to the announcement: its error, if it refused us.
  bool Announced() const { return mAnnounced; }
  const std::string& Refusal() const { return mRefusal; }

  void Reply(const char* path, const std::string& message);
  void Error(const char* path, int code, const std::string& message);
  void GuiShown(bool shown);

private:
  static int OnMessage(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg,
                       void* user);

  lo_server mServer = nullptr;
  lo_address mManager = nullptr;
  std::optional<OpenRequest> mOpen;
  bool mSave = false;
  std::optional<bool> mGui;
  bool mAnnounced = false;
  std::string mRefusal;
};

} // namespace standalone
