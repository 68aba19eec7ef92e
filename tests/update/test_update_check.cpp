#include "apps/standalone/check_update.h"
#include "https_test_server.h"
#include "tests/editor/editor_test_support.h"
#include "zorva/http.h"

#include <chrono>
#include <future>
#include <sstream>

namespace {
using namespace UpdateCheck;
using Server = TestHttpsServer;
using Clock = std::chrono::steady_clock;

std::string newerText(const std::string& version, const std::string& site = "www.tamsodyne.com")
{
  return "A new version of Zorva is available.\n\n\tYour version: \t2.1.4\n\tNew version: \t" + version +
         "\n\nDo you want to go to " + site + " to get the new version?";
}
const std::string kUpToDate = "Your version is up to date.";
const std::string kContactError = "An error occurred while contacting 127.0.0.1.";

// One certificate trusted through ZORVA_UPDATE_CA, one that nobody trusts.
class UpdateCheckTest : public EditorTest
{
protected:
  void SetUp() override
  {
    for (const char* proxy : {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) unsetenv(proxy);
    EditorTest::SetUp();
    writeFile(path("ca.pem"), trusted.pem());
    setenv("ZORVA_UPDATE_CA", path("ca.pem").c_str(), 1);
    unsetenv("ZORVA_UPDATE_URL");
    unsetenv("ZORVA_DOWNLOAD_URL");
  }
  Settings settingsFor(const std::string& url) const
  {
    return {.serverURL = url, .extraCAFile = path("ca.pem")};
  }
  // The outcome and how many seconds it took.
  std::pair<Outcome, double> timedCheck(const std::string& url) const
  {
    const auto start = Clock::now();
    Outcome out = check(settingsFor(url));
    return {out, std::chrono::duration<double>(Clock::now() - start).count()};
  }
  static Server::Answer answer(const std::string& body, int status = 200) { return {status, body, true, ""}; }

  TestCertificate trusted;
  TestCertificate untrusted;
};
} // namespace

TEST_F(UpdateCheckTest, EveryAnswerEndsWithItsMessageAndResult)
{
  struct Case
  {
    const char* name;
    Server::Answer answer;
    int result;
    Outcome::Kind kind;
    std::string text;
  };
  const std::string html = "<html><head><title>Error</title></head><body>Bad request</body></html>";
  const std::string forty = "1234567890123456789012345678901234567890";
  const std::string fullSize = "2104" + std::string(kMaxReplyBytes - 4, ' ');
  const Server::Answer unannounced = {200, std::string(1 << 20, '9'), false, ""};
  const Case cases[] = {
      {"2105", answer("2105"), kDone, Outcome::kNewer, newerText("2.1.5")},
      {"2112", answer("2112"), kDone, Outcome::kNewer, newerText("2.1.12")},
      {"3000 and a line end", answer("3000\n"), kDone, Outcome::kNewer, newerText("3.0.0\n")},
      {"2104", answer("2104"), kDone, Outcome::kUpToDate, kUpToDate},
      {"21", answer("21"), kDone, Outcome::kUpToDate, kUpToDate},
      {"abc", answer("abc"), kDone, Outcome::kUpToDate, kUpToDate},
      {"empty", answer(""), kEmptyReply, Outcome::kFailed, kContactError},
      {"html", answer(html), kNotAVersion, Outcome::kFailed, "Invalid call to 127.0.0.1."},
      {"40 digits", answer(forty), kDone, Outcome::kNewer, newerText("1.2." + forty.substr(2))},
      {"exactly the limit", answer(fullSize), kDone, Outcome::kUpToDate, kUpToDate},
      {"one byte over, announced", answer(fullSize + "x"), kReadError, Outcome::kFailed, kContactError},
      {"1 MiB of digits, unannounced", unannounced, kReadError, Outcome::kFailed, kContactError},
      {"404", answer("Not Found", 404), kReadError, Outcome::kFailed, kContactError},
      {"500", answer("Internal Server Error", 500), kReadError, Outcome::kFailed, kContactError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Server server(trusted, c.answer);
    const auto [out, seconds] = timedCheck(server.url());
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(out.result, c.result);
    EXPECT_EQ(out.kind, c.kind);
    EXPECT_EQ(out.text, c.text);
    EXPECT_EQ(out.type, c.kind == Outcome::kNewer ? 4 : 0);
    EXPECT_EQ(out.title, c.kind == Outcome::kNewer ? "New Version of Zorva Detected" : kTitle);
  }

  // Failures before any reply: a redirect is not followed, a certificate
  // nobody vouches for and a closed port are read errors.
  Server target(trusted, answer("2112"));
  Server redirect(trusted, {302, "2112", true, "Location: " + target.url() + "\r\n"});
  Server impostor(untrusted, answer("2105"));
  const std::string closed = "https://127.0.0.1:" + std::to_string(Server::closedPort()) + "/";
  for (const std::string& url : {redirect.url(), impostor.url(), closed}) {
    SCOPED_TRACE(url);
    const Outcome out = check(settingsFor(url));
    EXPECT_EQ(out.result, kReadError);
    EXPECT_EQ(out.text, kContactError);
  }
  EXPECT_EQ(std::tuple(redirect.connections(), target.connections(), impostor.connections()),
            std::tuple(1, 0, 1));

  // Without the extra authority the test server is not trusted either.
  Settings s = settingsFor(target.url());
  s.extraCAFile.clear();
  EXPECT_EQ(check(s).result, kReadError);
}

// A server that never finishes ends at the time-outs; both run at once.
TEST_F(UpdateCheckTest, SlowServersEndAtTheTimeouts)
{
  Server drip(trusted, answer("2105" + std::string(20, ' ')), Server::Mode::kDrip);
  Server silent(trusted, {}, Server::Mode::kSilent);
  auto dripped = std::async(std::launch::async, [&] { return timedCheck(drip.url()); });
  auto unanswered = std::async(std::launch::async, [&] { return timedCheck(silent.url()); });
  for (auto [check, timeout] : {std::pair{&dripped, 10.0}, {&unanswered, 5.0}}) {
    const auto [out, seconds] = check->get();
    EXPECT_EQ(out.result, kReadError) << timeout;
    EXPECT_EQ(out.text, kContactError) << timeout;
    EXPECT_GT(seconds, timeout - 0.5);
    EXPECT_LT(seconds, timeout + 2.5);
  }
}

TEST_F(UpdateCheckTest, MenuCommandOpensTheDownloadPageOnlyOnYes)
{
  Server server(trusted, answer("2105"));
  setenv("ZORVA_UPDATE_URL", server.url().c_str(), 1);
  // Nothing asks the server until the user does.
  std::make_unique<PanelZorva>()->editor()->OpenWindow(nullptr);
  EXPECT_EQ(server.connections(), 0);

  gui->QueueMessageBoxAnswer(IGraphics::kMsgBoxNo);
  z->runFileCommand(File::kCheckOnline);
  ASSERT_EQ(gui->Questions().size(), 1u);
  EXPECT_EQ(gui->LastQuestion()->mText, newerText("2.1.5"));
  EXPECT_EQ(gui->LastQuestion()->mTitle, "New Version of Zorva Detected");
  EXPECT_EQ(gui->LastQuestion()->mType, IGraphics::kMsgBoxTypeYesNo);
  EXPECT_TRUE(gui->OpenedURLs().empty());

  gui->QueueMessageBoxAnswer(IGraphics::kMsgBoxYes);
  EXPECT_EQ(z->checkVersionAgainstWeb(), kDone);
  EXPECT_EQ(gui->OpenedURLs(), std::vector<std::string>{kDefaultDownloadPage});
  EXPECT_EQ(server.connections(), 2);
}

TEST_F(UpdateCheckTest, ConfigurationFileAndEnvironmentChooseTheAddresses)
{
  Server newer(trusted, answer("2112"));
  Server page(trusted, answer("<html>Not here</html>"));
  writeFile(iniFile(),
            "[Update Check]\nServerURL=" + newer.url() + "\nDownloadPage=https://mirror.example/zorva/\n");
  gui->QueueMessageBoxAnswer(IGraphics::kMsgBoxYes);
  EXPECT_EQ(z->checkVersionAgainstWeb(), kDone);
  EXPECT_EQ(gui->LastQuestion()->mText, newerText("2.1.12", "mirror.example"));
  EXPECT_EQ(gui->OpenedURLs(), std::vector<std::string>{"https://mirror.example/zorva/"});
  // Saving the configuration keeps the addresses.
  z->saveConfig();
  EXPECT_NE(readFile(iniFile()).find("ServerURL=" + newer.url()), std::string::npos);

  // The environment wins over the file; an HTML page is answered with one message.
  setenv("ZORVA_UPDATE_URL", page.url().c_str(), 1);
  gui->ClearQuestions();
  EXPECT_EQ(z->checkVersionAgainstWeb(), kNotAVersion);
  ASSERT_EQ(gui->Questions().size(), 1u);
  EXPECT_EQ(gui->LastQuestion()->mText, "Invalid call to 127.0.0.1.");
  EXPECT_EQ(gui->LastQuestion()->mTitle, kTitle);
  EXPECT_EQ(gui->LastQuestion()->mType, IGraphics::kMsgBoxTypeOK);
  EXPECT_EQ(page.connections(), 1);
}

TEST_F(UpdateCheckTest, CommandLineCheckPrintsOneLineAndExitsWithTheOutcome)
{
  Server current(trusted, answer("2104"));
  Server newer(trusted, answer("2105\x1b]0;title\x07\r\n"));
  Server missing(trusted, answer("Not Found", 404));
  auto run = [](const std::string& url) {
    setenv("ZORVA_UPDATE_URL", url.c_str(), 1);
    std::ostringstream out;
    const int status = runCheckUpdate(out);
    return std::make_pair(status, out.str());
  };
  EXPECT_EQ(run(current.url()), std::make_pair(0, kUpToDate + "\n"));
  EXPECT_EQ(run(missing.url()), std::make_pair(3, kContactError + "\n"));
  // The server's bytes never reach the terminal as control characters.
  EXPECT_EQ(
      run(newer.url()),
      std::make_pair(1, std::string("A new version of Zorva is available. Your version: 2.1.4 New version: "
                                    "2.1.5 ]0;title Do you want to go to www.tamsodyne.com to get the new "
                                    "version?\n")));
}
