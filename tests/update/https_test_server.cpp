#include "https_test_server.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {
void require(bool ok, const char* what)
{
  if (!ok) throw std::runtime_error(what);
}

void addExtension(X509* cert, int nid, const char* value)
{
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
  require(ext && X509_add_ext(cert, ext, -1), "certificate extension");
  X509_EXTENSION_free(ext);
}

sockaddr_in loopback(int port)
{
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

int boundSocket(int* port)
{
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  require(fd >= 0, "socket");
  sockaddr_in addr = loopback(0);
  socklen_t length = sizeof addr;
  require(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) == 0,
          "bind");
  *port = ntohs(addr.sin_port);
  return fd;
}

const char* reason(int status)
{
  switch (status) {
  case 200: return "OK";
  case 302: return "Found";
  case 404: return "Not Found";
  case 500: return "Internal Server Error";
  default: return "Status";
  }
}
} // namespace

TestCertificate::TestCertificate()
{
  mKey = EVP_EC_gen("P-256");
  mCert = X509_new();
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
  addExtension(mCert, NID_basic_constraints, "critical,CA:TRUE");
  addExtension(mCert, NID_subject_alt_name, "IP:127.0.0.1");
  require(X509_sign(mCert, mKey, EVP_sha256()) > 0, "sign");
}

TestCertificate::~TestCertificate()
{
  X509_free(mCert);
  EVP_PKEY_free(mKey);
}

std::string TestCertificate::pem() const
{
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, mCert);
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<size_t>(size));
  BIO_free(bio);
  return text;
}

TestHttpsServer::TestHttpsServer(const TestCertificate& certificate, Answer answer, Mode mode)
    : mAnswer(std::move(answer)), mMode(mode)
{
  // A client that hangs up mid-reply must not kill the test with SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
  mContext = SSL_CTX_new(TLS_server_method());
  require(mContext && SSL_CTX_use_certificate(mContext, certificate.cert()) == 1 &&
              SSL_CTX_use_PrivateKey(mContext, certificate.key()) == 1,
          "server context");
  mListener = boundSocket(&mPort);
  require(listen(mListener, 16) == 0, "listen");
  mAcceptor = std::thread([this] { acceptLoop(); });
}

TestHttpsServer::~TestHttpsServer()
{
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mStop = true;
  }
  mStopped.notify_all();
  mAcceptor.join();
  for (auto& handler : mHandlers) handler.join();
  close(mListener);
  SSL_CTX_free(mContext);
}

std::string TestHttpsServer::url() const
{
  return "https://127.0.0.1:" + std::to_string(mPort) + "/music/version/?file=zorva";
}

int TestHttpsServer::closedPort()
{
  int port = 0;
  close(boundSocket(&port));
  return port;
}

bool TestHttpsServer::pause(double seconds)
{
  std::unique_lock<std::mutex> lock(mMutex);
  return !mStopped.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return mStop.load(); });
}

void TestHttpsServer::acceptLoop()
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
    std::lock_guard<std::mutex> lock(mMutex);
    mHandlers.emplace_back([this, fd] { serve(fd); });
  }
}

void TestHttpsServer::serve(int fd)
{
  if (mMode == Mode::kSilent) {
    pause(30.0);
    close(fd);
    return;
  }
  SSL* ssl = SSL_new(mContext);
  SSL_set_fd(ssl, fd);
  if (SSL_accept(ssl) == 1) {
    std::string request;
    char buffer[1024];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 8192) {
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n <= 0) break;
      request.append(buffer, static_cast<size_t>(n));
    }
    std::string head = "HTTP/1.1 " + std::to_string(mAnswer.status) + " " + reason(mAnswer.status) +
                       "\r\nContent-Type: text/plain\r\nConnection: close\r\n" + mAnswer.headers;
    if (mAnswer.withLength) head += "Content-Length: " + std::to_string(mAnswer.body.size()) + "\r\n";
    head += "\r\n";
    bool ok = SSL_write(ssl, head.data(), static_cast<int>(head.size())) > 0;
    const std::string& body = mAnswer.body;
    const size_t piece = mMode == Mode::kDrip ? 1 : 16384;
    for (size_t at = 0; ok && at < body.size(); at += piece) {
      if (mMode == Mode::kDrip && at > 0 && !pause(1.0)) break;
      const size_t n = std::min(piece, body.size() - at);
      ok = SSL_write(ssl, body.data() + at, static_cast<int>(n)) > 0;
    }
    if (ok) SSL_shutdown(ssl);
  }
  SSL_free(ssl);
  ERR_clear_error();
  close(fd);
}
