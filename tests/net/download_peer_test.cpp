// Downloads against the Python download server on a loopback port.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "net/download_worker.h"
#include "tools/http_server.h"
#include "tools/recording_window.h"
#include "tools/test_support.h"

namespace vyr::net {
namespace {

using platform::WindowMessages;

struct Recorder : test::RecordingWindow {
  void OnWindowMessage(const platform::WindowMessage& m) override {
    switch (m.message) {
      case kDownloadStarted: lines.push_back("started"); break;
      case kDownloadSizeKnown: lines.push_back("size " + std::to_string(m.lParam)); break;
      case kDownloadDataWritten: lines.push_back("written " + std::to_string(m.lParam)); break;
      case kDownloadCancelled: lines.push_back("cancelled"); break;
      case kDownloadFinished: lines.push_back("finished " + std::to_string(m.lParam)); break;
    }
    if (m.message != kDownloadStarted && m.wParam != 77) lines.push_back("bad cookie");
  }
  void WaitForLines(size_t count) { DispatchUntil([&] { return lines.size() >= count; }); }
  std::vector<std::string> lines;
};

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return s;
}

// Nobody listens on port 1.
const char kRefused[] = "http://127.0.0.1:1/x";

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::uint64_t kMiB = 1048576;

class DownloadPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_GT(server.FtpPort(), 0) << "needs /usr/bin/python3 and python3-pyftpdlib";
    test::WriteFile(ftpDir.File("setup.exe"), "setup program");
    test::WriteFile(ftpDir.File("local file"), "local bytes");
  }
  std::string Ftp(const std::string& name) {
    return "ftp://127.0.0.1:" + std::to_string(server.FtpPort()) + "/" + name;
  }
  test::TempDir ftpDir, dir;
  test::HttpServer server{{"--ftp", ftpDir.Path()}};
};

TEST_F(DownloadPeerTest, ResultsMessagesFilesAndBoxes) {
  struct Case {
    std::string url, destination;
    int result;
    std::vector<std::string> lines;
    std::string file;  // expected contents; "-" when no file may exist
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {server.Url("/file/70000"), "a.zip", 0,
       {"size 70000", "written 32678", "written 32678", "written 4644", "finished 0"},
       Pattern(70000), {}},
      {server.Url("/nolength/40000"), "b.zip", 0,
       {"size 0", "written 32678", "written 7322", "finished 0"}, Pattern(40000), {}},
      {server.Url("/file/0"), "empty", 0, {"size 0", "finished 0"}, "", {}},
      {server.Url("/location/" + server.Url("/file/5")), "c", 0, {"size 5", "written 5", "finished 0"}, Pattern(5), {}},
      // A reply that breaks off is a failure, and what came is not kept.
      {server.Url("/truncated/40000"), "t", -20, {"size 80000", "written 32678", "finished -20"}, "-", {}},
      {server.Url("/status/500"), "e.vyrscheme", -20, {"size 12", "finished -20"}, "-",
       {"PS Error(500)"}},
      // No status line: only a scheme download takes the reply.
      {server.Url("/nostatus/5"), "f", -20, {"size 0", "finished -20"}, "-", {}},
      {server.Url("/nostatus/5"), "f.vyrscheme", 0, {"size 0", "written 5", "finished 0"},
       Pattern(5), {}},
      // Only http and https reach the network, also after a redirect.
      {Ftp("setup.exe"), "i.exe", -20, {"finished -20"}, "-", {}},
      {Ftp("setup.exe"), "i.vyrscheme", -20, {"finished -20"}, "-", {"PSError 3"}},
      {server.Url("/location/" + Ftp("setup.exe")), "l", -20, {"finished -20"}, "-", {}},
      {"file://localhost.example" + ftpDir.File("setup.exe"), "m", -20, {"finished -20"}, "-", {}},
      {kRefused, "g.vyrscheme", -20, {"finished -20"}, "-", {"PSError 3"}},
      {server.Url("/file/5"), "missing/h.vyrscheme", -36, {"size 5", "finished -36"}, "-",
       {"PSError 5"}},
      // A local file is copied; only finished is posted.
      {ftpDir.File("local file"), "n", 0, {"finished 0"}, "local bytes", {}},
      {"file://" + ftpDir.Path() + "/local%20file", "o", 0, {"finished 0"}, "local bytes", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url + " -> " + c.destination);
    test::TempDir folder;
    Recorder window;
    test::RecordingMessageBox boxes;
    const std::string path = folder.File(c.destination);
    EXPECT_EQ(ResultCode(DownloadToFile(c.url, path, window.handle, nullptr, 77, &boxes)), c.result);
    WindowMessages::Instance().DispatchPending();
    EXPECT_EQ(window.lines, c.lines);
    const std::string top = c.destination.substr(0, c.destination.find('/'));
    if (c.file == "-") {
      EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
    } else {
      EXPECT_EQ(test::ReadFile(path), c.file);
      EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{top});
    }
    std::vector<std::string> shown;
    for (const auto& b : boxes.boxes) {
      EXPECT_EQ(b.caption, "PSERROR");
      shown.push_back(b.text);
    }
    EXPECT_EQ(shown, c.boxes);
  }
}

// Every way a download can fail leaves a file already at the destination
// byte for byte as it was, and nothing beside it.
TEST_F(DownloadPeerTest, AFailedDownloadLeavesTheOldFileAlone) {
  const std::string old = Pattern(1000) + "old contents";
  ASSERT_EQ(::mkfifo(dir.File("fifo source").c_str(), 0600), 0);
  struct Case {
    std::string url;
    std::uint64_t limit;
    DownloadResult result;
  };
  const Case cases[] = {
      {server.Url("/status/500"), 0, DownloadResult::kAddressFailed},
      {server.Url("/truncated/70000"), 0, DownloadResult::kAddressFailed},
      {server.Url("/zeros/2000000"), kMiB, DownloadResult::kTooLarge},
      {kRefused, 0, DownloadResult::kAddressFailed},
      {server.Url("/location/file://" + dir.File("source")), 0, DownloadResult::kAddressFailed},
      // Local sources: only a regular file is copied, never a device, fifo or folder.
      {"/dev/zero", 0, DownloadResult::kAddressFailed},
      {"file:///dev/zero", 0, DownloadResult::kAddressFailed},
      {dir.File("fifo source"), 0, DownloadResult::kAddressFailed},
      {"file://" + dir.Path(), 0, DownloadResult::kAddressFailed},
      {dir.File("no such file"), 0, DownloadResult::kAddressFailed},
      {dir.File("source"), 1000, DownloadResult::kTooLarge},
  };
  test::WriteFile(dir.File("source"), Pattern(1001));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    test::TempDir folder;
    const std::string destination = folder.File("kept.zip");
    test::WriteFile(destination, old);
    Recorder window;
    EXPECT_EQ(DownloadToFile(c.url, destination, window.handle, nullptr, 77, nullptr, c.limit),
              c.result);
    WindowMessages::Instance().DispatchPending();
    ASSERT_FALSE(window.lines.empty());
    EXPECT_EQ(window.lines.back(), "finished " + std::to_string(ResultCode(c.result)));
    EXPECT_EQ(test::ReadFile(destination), old);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"kept.zip"});
  }

  // A download or a local copy that succeeds replaces the old file whole.
  for (const auto& [url, bytes] : {std::pair{server.Url("/file/300"), Pattern(300)}, {dir.File("source"), Pattern(1001)}}) {
    test::TempDir folder;
    test::WriteFile(folder.File("kept.zip"), old);
    Recorder window;
    EXPECT_EQ(DownloadToFile(url, folder.File("kept.zip"), window.handle, nullptr, 77), DownloadResult::kOk);
    EXPECT_EQ(test::ReadFile(folder.File("kept.zip")), bytes);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"kept.zip"});
  }
}

// Over the limit: refused before writing, or cut off (the server sees "CUT").
TEST_F(DownloadPeerTest, TheSizeLimitStopsEndlessAndOversizedReplies) {
  // 1 MiB holds 32 whole chunks of 32678 bytes.
  std::vector<std::string> endless{"size 0"};
  for (int k = 0; k < 32; ++k) endless.push_back("written 32678");
  endless.push_back("finished -38");
  struct Case {
    std::string path;
    std::vector<std::string> lines;
    bool streamed;  // the server prints how much it sent
  };
  const Case cases[] = {
      {"/zeros/1073741824", endless, true},
      {"/zeroslength/1073741824", {"finished -38"}, true},
      {"/file/1048577", {"finished -38"}, false},
      {"/nolength/1048577", endless, false},  // one byte more than the limit
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    test::TempDir folder;
    Recorder window;
    EXPECT_EQ(DownloadToFile(server.Url(c.path), folder.File("big"), window.handle, nullptr, 77,
                             nullptr, kMiB),
              DownloadResult::kTooLarge);
    WindowMessages::Instance().DispatchPending();
    EXPECT_EQ(window.lines, c.lines);
    EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{});
    if (c.streamed) {
      const std::string line = server.Line();
      EXPECT_EQ(line.rfind("CUT ", 0), 0u) << line;
    }
  }

  // Exactly the limit is still whole, with a length and without.
  for (const std::string path : {"/file/1048576", "/nolength/1048576"}) {
    SCOPED_TRACE(path);
    test::TempDir folder;
    Recorder window;
    EXPECT_EQ(DownloadToFile(server.Url(path), folder.File("whole"), window.handle, nullptr, 77,
                             nullptr, kMiB),
              DownloadResult::kOk);
    EXPECT_EQ(test::ReadFile(folder.File("whole")), Pattern(kMiB));
  }
}

TEST_F(DownloadPeerTest, GoneWindowAndFullDisk) {
  test::RecordingMessageBox boxes;
  {
    Recorder gone;
    WindowMessages::Instance().Unregister(gone.handle);
    EXPECT_EQ(DownloadToFile(server.Url("/file/5"), dir.File("x.vyrscheme"), gone.handle, nullptr,
                             77, &boxes),
              DownloadResult::kNoWindow);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "PSError 1");
  }
  // A chunk the disk does not take: its own code, and no file left.
  const std::string full = dir.File("full");
  EXPECT_EQ(test::RunInChild([&] {
              std::signal(SIGXFSZ, SIG_IGN);
              rlimit limit{40000, 40000};
              ::setrlimit(RLIMIT_FSIZE, &limit);
              Recorder window;
              const DownloadResult rc =
                  DownloadToFile(server.Url("/file/70000"), full, window.handle, nullptr, 77);
              WindowMessages::Instance().DispatchPending();
              const std::vector<std::string> want{"size 70000", "written 32678", "finished -37"};
              return rc == DownloadResult::kWriteFailed && window.lines == want ? 0 : 1;
            }),
            0);
  EXPECT_FALSE(std::filesystem::exists(full));
}

TEST(LocalSourcePathTest, Forms) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\vyr\\a.zip", "C:\\vyr\\a.zip"}, {"/tmp/a.zip", "/tmp/a.zip"},
      {"file:///tmp/a%20b", "/tmp/a b"},    {"FILE://localhost/tmp/x", "/tmp/x"},
      {"file:/tmp/x", "/tmp/x"},            {"file://host/tmp/x", ""},
      {"file:///tmp/%00x", ""},             {"C:x", ""},
      {"http://a/b", ""},                   {"tmp/a", ""},
  };
  for (const auto& [url, path] : cases) EXPECT_EQ(LocalSourcePath(url), path) << url;
}

TEST_F(DownloadPeerTest, CancelStopsAStalledDownloadAndKeepsTheOldFile) {
  // Closing stops every download (scheme ones without a box) and waits; in
  // a child, since the stop is for good.
  const std::string url = server.Url("/stall/100000"), file = dir.File("closing.vyrscheme");
  EXPECT_EQ(test::RunInChild([&] {
              Recorder closing;
              test::RecordingMessageBox boxes;
              StartDownload(url, file, closing.handle, std::make_shared<CancelFlag>(0), 77, &boxes);
              closing.WaitForLines(5);
              if (!StopAllDownloads(std::chrono::seconds(10))) return 1;
              closing.WaitForLines(7);
              const bool ended = closing.lines.size() == 7 && closing.lines[5] == "cancelled" &&
                                 closing.lines[6] == "finished -41";
              return ended && boxes.boxes.empty() ? 0 : 2;
            }),
            0);
  EXPECT_EQ(Entries(dir.Path()), std::vector<std::string>{});

  test::TempDir folder;
  test::WriteFile(folder.File("stalled"), "old");
  Recorder window;
  auto flag = std::make_shared<CancelFlag>(0);
  StartDownload(server.Url("/stall/100000"), folder.File("stalled"), window.handle, flag, 77);
  window.WaitForLines(5);  // started, size, three full chunks; the rest waits
  flag->store(1);
  window.WaitForLines(7);
  EXPECT_EQ(window.lines,
            (std::vector<std::string>{"started", "size 200000", "written 32678", "written 32678",
                                      "written 32678", "cancelled", "finished -41"}));
  EXPECT_EQ(test::ReadFile(folder.File("stalled")), "old");
  EXPECT_EQ(Entries(folder.Path()), std::vector<std::string>{"stalled"});
}

TEST_F(DownloadPeerTest, FetchToMemory) {
  struct Case {
    std::string url;
    size_t capacity;
    bool reload;
    int result;
    std::string reply;
  } cases[] = {
      {server.Url("/file/100"), 1000, false, 0, Pattern(100)},
      {server.Url("/file/100"), 10, false, 0, Pattern(10)},
      {server.Url("/status/404"), 1000, false, 0, "status page\n"},
      {kRefused, 1000, false, -20, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    std::vector<char> buffer(c.capacity);
    size_t size = buffer.size();
    EXPECT_EQ(ResultCode(FetchToMemory(c.url, buffer.data(), size, c.reload)), c.result);
    EXPECT_EQ(std::string(buffer.data(), size), c.reply);
  }
  for (bool reload : {false, true}) {
    std::vector<char> buffer(4096);
    size_t size = buffer.size();
    ASSERT_EQ(FetchToMemory(server.Url("/headers"), buffer.data(), size, reload), DownloadResult::kOk);
    std::string headers(buffer.data(), size);
    EXPECT_NE(headers.find("User-Agent: Vyrelle 2.0"), std::string::npos);
    EXPECT_EQ(headers.find("Pragma: no-cache") != std::string::npos, reload) << headers;
  }
}

}  // namespace
}  // namespace vyr::net
