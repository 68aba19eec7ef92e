#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct evp_pkey_st EVP_PKEY;
typedef struct x509_st X509;
typedef struct ssl_ctx_st SSL_CTX;

// A self-signed certificate for 127.0.0.1, made when the test runs.
class TestCertificate
{
public:
  TestCertificate();
  ~TestCertificate();
  std::string pem() const;
  EVP_PKEY* key() const { return mKey; }
  X509* cert() const { return mCert; }

private:
  EVP_PKEY* mKey = nullptr;
  X509* mCert = nullptr;
};

// An HTTPS server on 127.0.0.1 that answers every request the same way, one
// thread per connection. Every wait is bounded; the destructor ends them all.
class TestHttpsServer
{
public:
  enum class Mode {
    kReply,  // status line, headers, body at once
    kDrip,   // the same, but the body one byte per second
    kSilent, // accepts the connection and never says a word, not even TLS
  };
  struct Answer
  {
    int status = 200;
    std::string body;
    bool withLength = true; // false: the body ends when the connection closes
    std::string headers;    // extra header lines, each ending in "\r\n"
  };

  TestHttpsServer(const TestCertificate& certificate, Answer answer, Mode mode = Mode::kReply);
  ~TestHttpsServer();

  int port() const { return mPort; }
  // The update request's address on this server.
  std::string url() const;
  int connections() const { return mConnections; }

  // A loopback port nobody listens on.
  static int closedPort();

private:
  void acceptLoop();
  void serve(int fd);
  // Sleeps up to seconds, or less when the server stops; false once stopped.
  bool pause(double seconds);

  Answer mAnswer;
  Mode mMode;
  SSL_CTX* mContext = nullptr;
  int mListener = -1;
  int mPort = 0;
  std::atomic<int> mConnections{0};
  std::atomic<bool> mStop{false};
  std::mutex mMutex;
  std::condition_variable mStopped;
  std::vector<std::thread> mHandlers;
  std::thread mAcceptor;
};
