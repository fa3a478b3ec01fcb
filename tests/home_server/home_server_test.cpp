// HomeServer's answers without a network: routing, files, the session,
// the resolver, the info box pages and the logs; the command line and the
// versions file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>

#include "home_server/home_server.h"
#include "home_server/options.h"
#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

constexpr char kUser[] = "0123456789ABCDEF0123456789ABCDEF";

class Server : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = scratch_ / "root";
    WriteFile(root_ + "/channels/chanfixed.vyr", "\r\n~**:*********\r\n~CH:Server News");
    WriteFile(root_ + "/pages/index.html", "<p>start</p>");
    WriteFile(root_ + "/pages/whatsnew/index.html", "<p>new</p>");
    WriteFile(root_ + "/pages/logo.png", "PNG");
    WriteFile(root_ + "/infobox/Box1.htm", "one");
    WriteFile(root_ + "/infobox/Box2.htm", "two");
    WriteFile(root_ + "/infobox/Box3.htm", "three");
    WriteFile(root_ + "/infobox/Box5.htm", "five, after a gap");
    WriteFile(root_ + "/resolver/words.txt", "server news /pages/news.html\n");
    WriteFile(root_ + "/packages/big.zip", std::string(kInMemoryFileLimit + 10, 'z'));
    WriteFile(scratch_ / "secret.txt", "TOP SECRET");
    ASSERT_EQ(symlink("../../secret.txt", (root_ + "/pages/out").c_str()), 0);
    ServerConfig config;
    config.root = root_;
    config.warn = [this](const std::string& text) { warnings_.push_back(text); };
    std::string error;
    server_ = HomeServer::Create(config, error);
    ASSERT_TRUE(server_) << error;
  }

  Reply Get(const std::string& target, const std::string& method = "GET") {
    return server_->Handle({method, target, "127.0.0.1"});
  }

  ScratchFolder scratch_;
  std::string root_;
  std::vector<std::string> warnings_;
  std::unique_ptr<HomeServer> server_;
};

TEST_F(Server, ServesEachFolderAndPagesAtBothSpellings) {
  Reply channel = Get("/channels/chanfixed.vyr");
  EXPECT_EQ(channel.status, 200);
  EXPECT_EQ(channel.body, "\r\n~**:*********\r\n~CH:Server News");
  EXPECT_EQ(channel.contentType, "application/octet-stream");

  EXPECT_EQ(Get("/").body, "<p>start</p>");
  EXPECT_EQ(Get("/pages/").body, "<p>start</p>");
  EXPECT_EQ(Get("/pages/index.html").body, "<p>start</p>");
  EXPECT_EQ(Get("/whatsnew/").body, "<p>new</p>");
  EXPECT_EQ(Get("/pages/whatsnew/").body, "<p>new</p>");
  EXPECT_EQ(Get("/index.html").contentType, "text/html; charset=utf-8");
  EXPECT_EQ(Get("/pages/logo.png").contentType, "image/png");
  EXPECT_EQ(Get("/infobox/Box2.htm").body, "two");

  Reply folder = Get("/whatsnew");
  EXPECT_EQ(folder.status, 301);
  ASSERT_EQ(folder.headers.size(), 1u);
  EXPECT_EQ(folder.headers[0], (std::pair<std::string, std::string>{"Location", "/whatsnew/"}));
  EXPECT_EQ(Get("/pages").status, 301);
  EXPECT_EQ(Get("/channels/").status, 404);  // a folder without index.html

  EXPECT_EQ(Get("/channels/chanfixed.vyr", "HEAD").body, channel.body);
  EXPECT_EQ(Get("/channels/chanfixed.vyr", "POST").status, 405);
}

TEST_F(Server, StreamsLargeFilesFromTheOpenFile) {
  const Reply big = Get("/packages/big.zip");
  EXPECT_EQ(big.status, 200);
  EXPECT_EQ(big.body, "");
  ASSERT_TRUE(big.file);
  EXPECT_EQ(big.fileSize, kInMemoryFileLimit + 10);
  char byte = 0;
  EXPECT_EQ(pread(big.file->Get(), &byte, 1, static_cast<off_t>(kInMemoryFileLimit)), 1);
  EXPECT_EQ(byte, 'z');
  EXPECT_EQ(big.contentType, "application/zip");
}

TEST_F(Server, NothingOutsideTheFoldersIsServed) {
  for (const std::string target : {"/../secret.txt", "/pages/%2e%2e/%2e%2e/secret.txt", "/pages/out",
                                    "/etc/passwd", "/resolver/words.txt", "/commands/queue.txt", "/logs/usage.log",
                                    "/scripts/other.dll", "/.hidden"}) {
    const Reply reply = Get(target);
    EXPECT_TRUE(reply.status == 400 || reply.status == 404) << target << " " << reply.status;
    EXPECT_EQ(reply.body.find("SECRET"), std::string::npos) << target;
    EXPECT_EQ(reply.body.find("server news"), std::string::npos) << target;
  }
  EXPECT_EQ(Get("/pages/out").status, 404);
  // The link out was met twice, and each time the administrator hears of it.
  ASSERT_EQ(warnings_.size(), 2u);
  EXPECT_NE(warnings_[0].find("through a link"), std::string::npos);
  EXPECT_EQ(Get("http://127.0.0.1/pages/").status, 400);
}

TEST_F(Server, TheSessionAnswersPongLogsTheRequestAndHandsOutQueuedCommands) {
  WriteFile(root_ + "/commands/queue.txt", "showmail\n");
  const Reply ping = Get(std::string("/scripts/vyrcmd.dll?Ping&U=") + kUser + "&B=Default&MO=5&S=1&IBA=");
  EXPECT_EQ(ping.status, 200);
  EXPECT_EQ(ping.body, "PONG#showmail#ack S=1#");
  EXPECT_EQ(Get(std::string("/SCRIPTS/VyrCmd.dll?Login&U=") + kUser + "&B=Default").body, "PONG#");
  EXPECT_EQ(Get("/scripts/vyrcmd.dll?Ping&U=12&MO=1").status, 400);
  EXPECT_EQ(Get("/scripts/vyrcmd.dll").status, 400);
  // A HEAD would take the command without ever delivering it.
  WriteFile(root_ + "/commands/queue.txt", "showmail\n");
  EXPECT_EQ(Get(std::string("/scripts/vyrcmd.dll?Ping&U=") + kUser + "&MO=6", "HEAD").status, 405);
  EXPECT_EQ(ReadFile(root_ + "/commands/queue.txt"), "showmail\n");

  const std::string usage = ReadFile(server_->LogDir() + "/usage.log");
  EXPECT_TRUE(std::regex_match(usage, std::regex(std::string("[0-9TZ:-]{20}\tPing\t") + kUser +
                                                 "\t5\tB=Default&S=1&IBA=\n[0-9TZ:-]{20}\tLogin\t" + kUser +
                                                 "\t-\tB=Default\n")))
      << usage;
  const std::string sent = ReadFile(server_->LogDir() + "/commands.log");
  EXPECT_TRUE(std::regex_match(sent, std::regex(std::string("[0-9TZ:-]{20}\t") + kUser + "\tshowmail\n"))) << sent;
}

TEST_F(Server, WithoutAcknowledgementOnlyQueuedCommandsAreSent) {
  ServerConfig config;
  config.root = root_;
  config.logDir = scratch_ / "other-logs";
  config.acknowledge = false;
  std::string error;
  std::unique_ptr<HomeServer> quiet = HomeServer::Create(config, error);
  ASSERT_TRUE(quiet) << error;
  EXPECT_EQ(quiet->Handle({"GET", std::string("/scripts/vyrcmd.dll?Ping&U=") + kUser + "&MO=5&S=1", "::1"}).body,
            "PONG#");
  EXPECT_TRUE(testing::Exists(scratch_ / "other-logs/usage.log"));
}

TEST_F(Server, TheResolverAnswersFromItsList) {
  const Reply known = Get("/resolver.dll?realname=Server+News");
  EXPECT_EQ(known.status, 200);
  EXPECT_NE(known.body.find("url=/pages/news.html"), std::string::npos);
  EXPECT_EQ(Get("//resolver.dll?realname=server%20news").body, known.body);
  EXPECT_EQ(Get("/resolver.dll?realname=other").status, 404);
  EXPECT_EQ(Get("/resolver.dll?realname=").status, 404);
  EXPECT_EQ(Get("/resolver.dll?realname=+++").status, 404);
  for (const char* bad : {"/resolver.dll", "/resolver.dll?", "/resolver.dll?realname", "/resolver.dll?name=x",
                          "/resolver.dll?realname=a&realname=b", "/resolver.dll?realname=a&x=1",
                          "/resolver.dll?realname=%zz", "/resolver.dll?realname=a%0Ab"}) {
    EXPECT_EQ(Get(bad).status, 400) << bad;
  }
}

TEST_F(Server, TheInfoBoxScriptHandsOutThePagesInTurn) {
  // Box5 lies beyond the gap after Box3: the series is 1 to 3.
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(Get("/scripts/adserv.dll").body);
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three", "one"}));
  EXPECT_EQ(Get("/scripts/adserv.dll?page=3").body, "three");
  EXPECT_EQ(Get("/scripts/adserv.dll?page=4").status, 404);
  EXPECT_EQ(Get("/scripts/adserv.dll?page=0").status, 400);
  EXPECT_EQ(Get("/scripts/adserv.dll?page=x").status, 400);
  EXPECT_EQ(Get("/scripts/adserv.dll?other=1").status, 400);
}

TEST_F(Server, TheAccessLineHoldsSixBlankFreeFields) {
  server_->LogAccess({"GET", "/pages/a%20b", "127.0.0.1"}, 200, 12);
  server_->LogAccess({"GET", "/odd target\n", "127.0.0.1"}, 400, 0);
  server_->LogAccess({"", "", ""}, 400, 0);
  const std::string log = ReadFile(server_->LogDir() + "/access.log");
  EXPECT_TRUE(std::regex_match(log, std::regex("[0-9TZ:-]{20} 127\\.0\\.0\\.1 GET /pages/a%20b 200 12\n"
                                               "[0-9TZ:-]{20} 127\\.0\\.0\\.1 GET /odd%20target%0A 400 0\n"
                                               "[0-9TZ:-]{20} - - - 400 0\n")))
      << log;
}

TEST_F(Server, TheStartCheckNamesWhatIsMissing) {
  WriteFile(root_ + "/packages/versions.txt", "ibox 2 ibox-2.zip\nVyrFixed 1 big.zip\nbogus 1 x.zip\n");
  const std::vector<std::string> notes = server_->CheckContent();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("line 3"), std::string::npos);
  EXPECT_NE(notes[1].find("ibox-2.zip"), std::string::npos);
}

TEST(ServerCreate, RefusesAMissingContentFolder) {
  ScratchFolder scratch;
  ServerConfig config;
  config.root = scratch / "missing";
  std::string error;
  EXPECT_FALSE(HomeServer::Create(config, error));
  EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST(VersionsFile, ListsPackagesAndNamesBadLines) {
  const VersionsParse parsed = ParseVersionsFile(
      "# kind version file\n"
      "ibox 3 ibox-3.zip\n"
      "setup 0.2.0 vyrsetup-0.2.0.exe\r\n"
      "Vyr20 x program.zip\n"
      "dict 1 ../dict.zip\n"
      "VyrFixed 1\n"
      "other 1 a.zip\n");
  ASSERT_EQ(parsed.packages.size(), 2u);
  EXPECT_EQ(parsed.packages[0].kind, "ibox");
  EXPECT_EQ(parsed.packages[0].version, "3");
  EXPECT_EQ(parsed.packages[0].file, "ibox-3.zip");
  EXPECT_EQ(parsed.packages[1].file, "vyrsetup-0.2.0.exe");
  ASSERT_EQ(parsed.problems.size(), 4u);
  EXPECT_NE(parsed.problems[0].find("line 4"), std::string::npos);
  EXPECT_NE(parsed.problems[3].find("line 7"), std::string::npos);
}

TEST(CommandLine, ReadsEveryOption) {
  const OptionsParse plain = ParseOptions({"--root", "/srv/home", "--port", "8080"});
  ASSERT_TRUE(plain.options) << plain.error;
  EXPECT_EQ(plain.options->root, "/srv/home");
  EXPECT_EQ(plain.options->port, 8080);
  EXPECT_EQ(plain.options->bind, "127.0.0.1");
  EXPECT_EQ(plain.options->logDir, "");
  EXPECT_EQ(plain.options->threads, 16);
  EXPECT_TRUE(plain.options->acknowledge);

  const OptionsParse all = ParseOptions(
      {"--root=/srv/home", "--port=0", "--bind", "0.0.0.0", "--log-dir", "/var/log/vyr", "--threads=4", "--no-ack"});
  ASSERT_TRUE(all.options) << all.error;
  EXPECT_EQ(all.options->port, 0);
  EXPECT_EQ(all.options->bind, "0.0.0.0");
  EXPECT_EQ(all.options->logDir, "/var/log/vyr");
  EXPECT_EQ(all.options->threads, 4);
  EXPECT_FALSE(all.options->acknowledge);

  const OptionsParse help = ParseOptions({"--help"});
  ASSERT_TRUE(help.options);
  EXPECT_TRUE(help.options->help);
}

TEST(CommandLine, NamesWhatIsWrong) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--port", "80"},
      {"--root", "/srv"},
      {"--root", "/srv", "--port", "65536"},
      {"--root", "/srv", "--port", "eighty"},
      {"--root", "/srv", "--port", "80", "--threads", "0"},
      {"--root", "/srv", "--port", "80", "--extra"},
      {"--root", "/srv", "--port", "80", "--no-ack=1"},
      {"--root", "/srv", "--port"},
      {"--root=", "--port", "80"},
  };
  for (const auto& args : bad) {
    const OptionsParse parsed = ParseOptions(args);
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error, "");
  }
}

TEST(ContentTypes, FollowTheExtension) {
  EXPECT_EQ(ContentTypeFor("Box1.HTM"), "text/html; charset=utf-8");
  EXPECT_EQ(ContentTypeFor("versions.txt"), "text/plain; charset=utf-8");
  EXPECT_EQ(ContentTypeFor("chanfixed.vyr"), "application/octet-stream");
  EXPECT_EQ(ContentTypeFor("vyrsetup.exe"), "application/octet-stream");
  EXPECT_EQ(ContentTypeFor("README"), "application/octet-stream");
}

}  // namespace
}  // namespace vyr::home
