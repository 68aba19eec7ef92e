#pragma once

// A self-signed certificate for 127.0.0.1 and an HTTPS server on 127.0.0.1 that
// answers every request the same way, one thread per connection. Every wait is
// bounded; the destructor ends them all.

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

inline void require(bool ok, const char* what)
{
  if (!ok) throw std::runtime_error(what);
}

class TestCertificate
{
public:
  TestCertificate() : mKey(EVP_EC_gen("P-256")), mCert(X509_new())
  {
    require(mKey && mCert, "key");
    static int serial = 1;
    X509_set_version(mCert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(mCert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(mCert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(mCert), 24 * 3600);
    X509_set_pubkey(mCert, mKey);
    X509_NAME* name = X509_get_subject_name(mCert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"),
                               -1, -1, 0);
    X509_set_issuer_name(mCert, name);
    for (auto [nid, value] : {std::pair{NID_basic_constraints, "critical,CA:TRUE"},
                              std::pair{NID_subject_alt_name, "IP:127.0.0.1"}}) {
      X509V3_CTX ctx;
      X509V3_set_ctx_nodb(&ctx);
      X509V3_set_ctx(&ctx, mCert, mCert, nullptr, nullptr, 0);
      X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
      require(ext && X509_add_ext(mCert, ext, -1), "certificate extension");
      X509_EXTENSION_free(ext);
    }
    require(X509_sign(mCert, mKey, EVP_sha256()) > 0, "sign");
  }
  ~TestCertificate()
  {
    X509_free(mCert);
    EVP_PKEY_free(mKey);
  }
  std::string pem() const
  {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, mCert);
    char* data = nullptr;
    std::string text(data, static_cast<size_t>(BIO_get_mem_data(bio, &data)));
    BIO_free(bio);
    return text;
  }

  EVP_PKEY* mKey;
  X509* mCert;
};

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

  TestHttpsServer(const TestCertificate& certificate, Answer answer, Mode mode = Mode::kReply)
      : mAnswer(std::move(answer)), mMode(mode)
  {
    // A client that hangs up mid-reply must not kill the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    mContext = SSL_CTX_new(TLS_server_method());
    require(mContext && SSL_CTX_use_certificate(mContext, certificate.mCert) == 1 &&
                SSL_CTX_use_PrivateKey(mContext, certificate.mKey) == 1,
            "server context");
    mListener = boundSocket(&mPort);
    require(listen(mListener, 16) == 0, "listen");
    mAcceptor = std::thread([this] { acceptLoop(); });
  }
  ~TestHttpsServer()
  {
    mStop = true;
    mAcceptor.join(); // before the handlers: it is the only one adding to them
    for (auto& handler : mHandlers) handler.join();
    close(mListener);
    SSL_CTX_free(mContext);
  }

  // The update request's address on this server.
  std::string url() const
  {
    return "https://127.0.0.1:" + std::to_string(mPort) + "/music/version/?file=zorva";
  }
  int connections() const { return mConnections; }

  // A loopback port nobody listens on.
  static int closedPort()
  {
    int port = 0;
    close(boundSocket(&port));
    return port;
  }

private:
  static int boundSocket(int* port)
  {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    require(fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0,
            "bind");
    *port = ntohs(addr.sin_port);
    return fd;
  }
  // Sleeps up to seconds, or less when the server stops; false once stopped.
  bool pause(double seconds)
  {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!mStop && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !mStop;
  }
  void acceptLoop()
  {
    while (!mStop) {
      pollfd p{mListener, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      const int fd = accept4(mListener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++mConnections;
      // Nothing the client does can keep a handler waiting for long.
      timeval limit{3, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
      mHandlers.emplace_back([this, fd] { serve(fd); });
    }
  }
  void serve(int fd)
  {
    SSL* ssl = SSL_new(mContext);
    SSL_set_fd(ssl, fd);
    if (mMode == Mode::kSilent) {
      pause(30.0);
    } else if (SSL_accept(ssl) == 1) {
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
        const int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      std::string head = "HTTP/1.1 " + std::to_string(mAnswer.status) +
                         " Reason\r\nContent-Type: text/plain\r\nConnection: close\r\n" + mAnswer.headers;
      if (mAnswer.withLength) head += "Content-Length: " + std::to_string(mAnswer.body.size()) + "\r\n";
      head += "\r\n";
      bool ok = SSL_write(ssl, head.data(), static_cast<int>(head.size())) > 0;
      const std::string& body = mAnswer.body;
      const size_t piece = mMode == Mode::kDrip ? 1 : 16384;
      for (size_t at = 0; ok && at < body.size(); at += piece) {
        if (mMode == Mode::kDrip && at > 0 && !pause(1.0)) break;
        ok = SSL_write(ssl, body.data() + at, static_cast<int>(std::min(piece, body.size() - at))) > 0;
      }
      if (ok) SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ERR_clear_error();
    close(fd);
  }

  Answer mAnswer;
  Mode mMode;
  SSL_CTX* mContext = nullptr;
  int mListener = -1;
  int mPort = 0;
  std::atomic<int> mConnections{0};
  std::atomic<bool> mStop{false};
  std::vector<std::thread> mHandlers;
  std::thread mAcceptor;
};
