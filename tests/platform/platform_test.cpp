// The stand-ins for the system: home folder, registry, window messages,
// single instance, connection check, text helpers and TCP/IP settings.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/desktop_defaults.h"
#include "platform/file_system.h"
#include "platform/network_route.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/single_instance.h"
#include "platform/tcp_settings.h"
#include "platform/text.h"
#include "platform/window_messages.h"
#include "platform/windows_dir.h"
#include "tools/test_support.h"

namespace vyr::platform {
namespace {

using namespace std::string_view_literals;

TEST(TextTest, CaseTrimPrefixesAndLines) {
  // Case folding touches A-Z / a-z only.
  EXPECT_EQ(AsciiLower("Mail-Z @[`{ \xC3\x89t\xC3\xA9"), "mail-z @[`{ \xC3\x89t\xC3\xA9");
  EXPECT_EQ(AsciiUpper("stra\xC3\x9F""e az `{@["), "STRA\xC3\x9F""E AZ `{@[");
  EXPECT_FALSE(EqualsNoCase("\xC3\x89", "\xC3\xA9"));
  EXPECT_TRUE(EqualsNoCase("Received:", "rECEIVED:"));

  // Each blank set keeps what it leaves out.
  const struct {
    std::string_view text, blanks, trimmed;
  } trims[] = {
      {"", kWhitespace, ""},
      {" \t\r\n\v\f", kWhitespace, ""},
      {" \t\r\n", kTypedBlanks, ""},
      {"\va\f", kTypedBlanks, "\va\f"},
      {" a \r", kHeaderBlanks, "a \r"},
      {"\t a b\r\r", kLineBlanks, "a b"},
      {"\vkey = v\n", kProfileBlanks, "key = v\n"},
      {"\0\x01 a b\x7F\x1F"sv, kControlAndSpace, "a b\x7F"},
      {"\xA0x\xA0", kWhitespace, "\xA0x\xA0"},
  };
  for (const auto& t : trims) EXPECT_EQ(Trim(t.text, t.blanks), t.trimmed) << t.text;

  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_FALSE(StartsWith("ab", "abc"));
  EXPECT_FALSE(EndsWith("c", "bc"));
  EXPECT_TRUE(StartsWithNoCase("FILE://LOCALHOST/", "file://"));
  EXPECT_TRUE(EndsWithNoCase("Site.URL", ".url"));
  EXPECT_FALSE(EndsWithNoCase("url", ".url"));
  EXPECT_FALSE(StartsWithNoCase("\xC3\x89t\xC3\xA9", "\xC3\xA9"));

  using Lines = std::vector<std::string>;
  EXPECT_EQ(SplitLines(""), Lines{});
  EXPECT_EQ(SplitLines("a\n"), (Lines{"a"}));
  EXPECT_EQ(SplitLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("\n\r\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitLines("a\r\r\nb\r"), (Lines{"a\r", "b"}));
  EXPECT_EQ(SplitLines("a\r\nb\r", LineEnds::KeepCr), (Lines{"a\r", "b\r"}));

  // A value holding "%s" (a file name) is not filled again by the next one.
  EXPECT_EQ(FillPlaceholders("%s could not be saved: %s", {"/tmp/%s.txt", "Permission denied"}),
            "/tmp/%s.txt could not be saved: Permission denied");
  EXPECT_EQ(FillPlaceholders("%s and %s", {"one"}), "one and %s");
  EXPECT_EQ(FillPlaceholders("no place", {"dropped"}), "no place");
  EXPECT_EQ(FillPlaceholders("100%", {"x"}), "100%");
}

TEST(WindowsDirectoryTest, EnvironmentDecidesTheHomeFolder) {
  using V = std::optional<std::string>;
  const std::tuple<V, V, V, std::string> cases[] = {
      {"/tmp/vyr-home", "/x", "/home/u", "/tmp/vyr-home"},
      {"", "/x/data", "/home/u", "/x/data/vyrelle-home"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.local/share/vyrelle-home"},
      {std::nullopt, std::nullopt, std::nullopt, ""}};
  for (const auto& [home, xdg, user, expected] : cases) {
    test::ScopedEnv h("VYRELLE_HOME", home), x("XDG_DATA_HOME", xdg), u("HOME", user);
    EXPECT_EQ(GetWindowsDirectory(), expected);
  }
  // Names that would leave their folder are no plain file names.
  EXPECT_TRUE(IsPlainFileName("...url"));
  for (const std::string& bad : std::vector<std::string>{"", ".", "..", "a/b", "..\\x", std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  }
}

TEST(FileSystemTest, SafePathComponents) {
  for (const char* good : {"Ocean", "Sea 2", "...vyr", "a.b.c", "\xC3\xA9t\xC3\xA9", "x~y"}) {
    EXPECT_TRUE(IsSafePathComponent(good)) << good;
  }
  const std::vector<std::string> bad = {
      "", ".", "..", "a/b", "/", "a\\b", "\\", "a:b", "c:", ":", "a\tb", "a\nb", "a\rb",
      "\x1b[0m", "a\x7F", std::string("a\0b", 3), std::string(1, '\x01')};
  for (const std::string& name : bad) EXPECT_FALSE(IsSafePathComponent(name)) << name;
}

TEST(FileSystemTest, CopyRegularFile) {
  test::TempDir dir;
  test::WriteFile(dir.File("src"), std::string(100000, 'q'));
  EXPECT_EQ(CopyRegularFile(dir.File("src"), dir.File("a"), 0), CopyResult::Copied);
  EXPECT_EQ(test::ReadFile(dir.File("a")), std::string(100000, 'q'));
  EXPECT_EQ(CopyRegularFile(dir.File("src"), dir.File("b"), 100000), CopyResult::Copied);
  EXPECT_EQ(CopyRegularFile(dir.File("src"), dir.File("c"), 99999), CopyResult::TooLarge);
  EXPECT_FALSE(FileExists(dir.File("c")));
  // An existing target, or a link in its place, is never written through.
  test::WriteFile(dir.File("taken"), "mine");
  ASSERT_EQ(::symlink(dir.File("taken").c_str(), dir.File("link").c_str()), 0);
  EXPECT_EQ(CopyRegularFile(dir.File("src"), dir.File("taken"), 0), CopyResult::Failed);
  EXPECT_EQ(CopyRegularFile(dir.File("src"), dir.File("link"), 0), CopyResult::Failed);
  EXPECT_EQ(test::ReadFile(dir.File("taken")), "mine");
  EXPECT_EQ(CopyRegularFile(dir.Path(), dir.File("d"), 0), CopyResult::NotRegularFile);
  EXPECT_FALSE(std::filesystem::exists(dir.File("d")));
}

TEST(DesktopDefaultsTest, TheFirstInstalledEntryOfTheFileThatCountsMost) {
  using Files = std::vector<std::pair<std::string, std::string>>;  // path under the scratch folder, type=value
  const struct {
    const char* name;
    Files files;
    std::string expected;
  } cases[] = {
      {"the desktop's own file wins over the plain one",
       {{"config/mimeapps.list", "mail.desktop"}, {"config/gnome-mimeapps.list", "web.desktop"}}, "web.desktop"},
      {"the first desktop name's file first",
       {{"config/gnome-mimeapps.list", "web.desktop"}, {"config/kde-mimeapps.list", "mail.desktop"}}, "mail.desktop"},
      {"an entry no data folder holds is passed over",
       {{"config/mimeapps.list", "gone.desktop;web.desktop;"}}, "web.desktop"},
      {"a file naming nothing installed gives way; a dash can be a sub-folder",
       {{"config/gnome-mimeapps.list", "gone.desktop;"}, {"etc/mimeapps.list", "kde-viewer.desktop"}},
       "kde-viewer.desktop"},
      {"the user's plain file before the system's desktop file",
       {{"etc/gnome-mimeapps.list", "web.desktop"}, {"config/mimeapps.list", "mail.desktop"}}, "mail.desktop"},
      {"the user's data folder before the system's",
       {{"share2/applications/mimeapps.list", "web.desktop"}, {"data/applications/mimeapps.list", "mail.desktop"}},
       "mail.desktop"},
      {"nothing installed", {{"config/mimeapps.list", "gone.desktop"}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir scratch;
    test::ScopedEnv config("XDG_CONFIG_HOME", scratch.File("config")), configDirs("XDG_CONFIG_DIRS", scratch.File("etc")),
        data("XDG_DATA_HOME", scratch.File("data")),
        dataDirs("XDG_DATA_DIRS", scratch.File("share1") + ":" + scratch.File("share2")),
        desktop("XDG_CURRENT_DESKTOP", "KDE:GNOME");
    test::WriteFile(scratch.File("share1/applications/web.desktop"), "[Desktop Entry]\n");
    test::WriteFile(scratch.File("data/applications/mail.desktop"), "[Desktop Entry]\n");
    test::WriteFile(scratch.File("share2/applications/kde/viewer.desktop"), "[Desktop Entry]\n");
    for (const auto& [path, value] : c.files) {
      test::WriteFile(scratch.File(path), "[Added Associations]\ntext/html=other.desktop;\n"
                                          "[Default Applications]\ntext/html=" + value + "\n");
    }
    EXPECT_EQ(DefaultApplication("text/html"), c.expected);
    EXPECT_EQ(DefaultApplication("image/png"), "");

    // Setting a default also updates the desktop's own file where it names the type.
    const std::string gnome = scratch.File("config/gnome-mimeapps.list");
    const std::string before = test::ReadFile(gnome);
    ASSERT_TRUE(SetDefaultApplications({{"text/html", "mail.desktop"}, {"image/png", "web.desktop"}}));
    EXPECT_EQ(DefaultApplication("text/html"), "mail.desktop");
    EXPECT_EQ(DefaultApplication("image/png"), "web.desktop");
    EXPECT_NE(test::ReadFile(scratch.File("config/mimeapps.list")).find("\nimage/png=web.desktop;\n"),
              std::string::npos);
    const std::string after = test::ReadFile(gnome);
    EXPECT_EQ(after.find("image/png"), std::string::npos);
    EXPECT_EQ(after.empty(), before.empty());
    if (!before.empty()) {
      EXPECT_NE(after.find("\ntext/html=mail.desktop;"), std::string::npos) << after;
    }
  }
}

TEST(DesktopDefaultsTest, TheTextEditorGetsTheFileAsOneWord) {
  const std::string file = "/tmp/a b/it's \"$(rm -rf ~)\" %f.txt";
  const struct {
    const char* exec;
    std::vector<std::string> words;
  } cases[] = {
      {"gedit %U", {"gedit", file}},
      {"editor --new-window %f", {"editor", "--new-window", file}},
      {"editor", {"editor", file}},
      {"editor --file=%f %i %c %k", {"editor", "--file=" + file}},
      {"\"/opt/My Editor/bin/ed\" -x \"a \\\" b\" 100%%", {"/opt/My Editor/bin/ed", "-x", "a \" b", "100%", file}},
      {"ed\\sit %F", {"ed", "it", file}},
      {"\"unterminated %f", {}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(DesktopCommandWords(c.exec, file), c.words) << c.exec;

  // A real start: the desktop's default for text files records its words.
  test::TempDir scratch;
  test::ScopedEnv config("XDG_CONFIG_HOME", scratch.File("config")), configDirs("XDG_CONFIG_DIRS", scratch.File("etc")),
      data("XDG_DATA_HOME", scratch.File("data")), dataDirs("XDG_DATA_DIRS", scratch.File("none"));
  const std::string log = scratch.File("words.log"), editor = scratch.File("record-words");
  test::WriteFile(editor, "#!/bin/sh\nfor w in \"$@\"; do printf '[%s]\\n' \"$w\"; done > '" + log + "'\n");
  std::filesystem::permissions(editor, std::filesystem::perms::owner_all);
  test::WriteFile(scratch.File("data/applications/recorder.desktop"),
                  "[Desktop Entry]\nName=Recorder\nExec=\"" + editor + "\" --open %F\n[Desktop Action x]\nExec=wrong\n");
  auto open = [&](const std::string& path) {
    auto done = std::make_shared<std::promise<DesktopOpenResult>>();
    std::future<DesktopOpenResult> got = done->get_future();
    OpenWithTextEditor(path, [done](const DesktopOpenResult& r) { done->set_value(r); });
    return got.wait_for(std::chrono::seconds(10)) == std::future_status::ready ? got.get() : DesktopOpenResult{false, 99};
  };
  EXPECT_FALSE(open(file).started) << "no text editor set yet";
  test::WriteFile(scratch.File("config/mimeapps.list"), "[Default Applications]\ntext/plain=recorder.desktop\n");
  const DesktopOpenResult result = open(file);
  EXPECT_TRUE(result.started);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(test::ReadFile(log), "[--open]\n[" + file + "]\n");
}

using R = RegistryRoot;
using Values = std::vector<std::pair<std::string, std::string>>;

TEST(RegistryTest, KeysValuesDamageAndConcurrentWriters) {
  test::TempDir dir;
  Registry reg(dir.File("registry.reg"));
  ASSERT_TRUE(reg.CreateKey(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  for (auto [key, name, value] : {std::tuple{"Software\\Vyrelle", "", "dflt"}, {"Software\\Vyrelle", "Path", "c:"},
                                  {"Software\\VyrelleTwo", "n", "1"}, {"SOFTWARE\\VYRELLE", "PATH", "d:"}}) {
    ASSERT_TRUE(reg.SetValue(R::CurrentUser, key, name, value));
  }
  EXPECT_TRUE(reg.KeyExists(R::CurrentUser, "software/vyrelle/mail"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "Software\\Vyrelle"), (Values{{"", "dflt"}, {"Path", "d:"}}));
  EXPECT_EQ(reg.EnumKeys(R::CurrentUser, "Software"), (std::vector<std::string>{"Vyrelle", "VyrelleTwo"}));
  ASSERT_TRUE(reg.DeleteValue(R::CurrentUser, "Software\\Vyrelle", "path"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "Software\\Vyrelle"), (Values{{"", "dflt"}}));
  ASSERT_TRUE(reg.DeleteKey(R::CurrentUser, "Software\\Vyrelle"));
  EXPECT_FALSE(reg.KeyExists(R::CurrentUser, "Software\\Vyrelle\\Mail"));
  EXPECT_EQ(reg.GetValue(R::CurrentUser, "Software\\VyrelleTwo", "n").value_or("-"), "1");
  EXPECT_FALSE(reg.DeleteKey(R::CurrentUser, ""));  // a root stays
  // Any text survives the file, damaged lines are skipped, writers take turns.
  const std::string tricky = "quote\" back\\slash\nnew line\r\ttab \x01 \xC3\xA4 ] [x]";
  ASSERT_TRUE(reg.SetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"", tricky));
  EXPECT_EQ(Registry(reg.File()).GetValue(R::ClassesRoot, "CLSID\\{X}", "name \"q\"").value_or("-"), tricky);
  test::WriteFile(reg.File(), "VYRELLE REGISTRY 1\n[HKEY_CURRENT_USER\\A]\n\"ok\"=\"1\"\n\"broken=\"2\n"
                              "garbage\n@=\"dflt\"\n\"x\"=\"bad escape \\x4\"\n");
  ASSERT_TRUE(reg.SetValue(R::CurrentUser, "A", "new", "3"));
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "A"), (Values{{"ok", "1"}, {"", "dflt"}, {"new", "3"}}));
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < 20; ++k) reg.SetValue(R::CurrentUser, "K", std::to_string(t * 100 + k), "x");
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(reg.EnumValues(R::CurrentUser, "K").size(), 120u);
  test::WriteFile(dir.File("f"), "x");
  EXPECT_FALSE(Registry(dir.File("f/registry.reg")).SetValue(R::CurrentUser, "A", "", "v"));
  EXPECT_FALSE(Registry("").SetValue(R::CurrentUser, "A", "", "v"));
}

struct Recorder : MessageTarget {  // what reached a window, and on which thread
  std::vector<WindowMessage> got;
  std::vector<std::thread::id> threads;
  std::function<void(const WindowMessage&)> also;
  void OnWindowMessage(const WindowMessage& m) override {
    threads.push_back(std::this_thread::get_id());
    got.push_back(m);
    if (also) also(m);
  }
};

TEST(WindowMessagesTest, PostsArriveInOrderOnTheDispatchingThreadAndOnlyForLiveWindows) {
  WindowMessages wm;
  Recorder window;
  WindowHandle h = wm.Register(&window);
  std::atomic<int> wakes{0};
  wm.SetWakeUp([&] { ++wakes; });
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < 100; ++i) wm.PostMessage(h, 0x8003, "status " + std::to_string(i), w, i);
    });
  }
  for (auto& t : workers) t.join();
  EXPECT_TRUE(window.got.empty());  // nothing is delivered before dispatch
  EXPECT_EQ(wakes.load(), 1);       // one wake-up for the whole burst
  EXPECT_EQ(wm.WaitAndDispatch(std::chrono::seconds(30)), 400u);
  std::vector<LParam> last(4, -1);
  for (const WindowMessage& m : window.got) {
    EXPECT_EQ(*m.text, "status " + std::to_string(m.lParam));
    EXPECT_GT(m.lParam, last[m.wParam]);  // per worker, in posting order
    last[m.wParam] = m.lParam;
  }
  EXPECT_EQ(window.threads, std::vector<std::thread::id>(400, std::this_thread::get_id()));
  // A destroyed window, or one closing while handling a message, gets nothing more.
  Recorder b;
  WindowHandle hb = wm.Register(&b);
  b.also = [&](const WindowMessage& m) { if (m.message == 0x800D) wm.Unregister(hb); };  // "close"
  for (auto [to, message] : {std::pair{h, 1u}, {hb, 2u}, {hb, 0x800Du}, {hb, 3u}}) wm.PostMessage(to, message);
  wm.Unregister(h);  // queued messages for it are dropped
  EXPECT_FALSE(wm.PostMessage(h, 4) || wm.PostMessage(0, 5) || wm.IsWindow(h));
  EXPECT_EQ(wm.DispatchPending(), 2u);
  EXPECT_EQ(window.got.size() + b.got.size(), 402u);
  EXPECT_FALSE(wm.IsWindow(hb));
  // Posted for later: after what is posted at once, the nearer moment first.
  Recorder later;
  WindowHandle hl = wm.Register(&later);
  wm.PostMessageAfter(hl, 7, std::chrono::milliseconds(400), 70);
  wm.PostMessageAfter(hl, 6, std::chrono::milliseconds(100), 60);
  wm.PostMessage(hl, 5);
  for (int i = 0; i < 300 && later.got.size() < 3; ++i) wm.WaitAndDispatch(std::chrono::milliseconds(100));
  std::vector<std::pair<std::uint32_t, WParam>> order;
  for (const WindowMessage& m : later.got) order.emplace_back(m.message, m.wParam);
  EXPECT_EQ(order, (std::vector<std::pair<std::uint32_t, WParam>>{{5, 0}, {6, 60}, {7, 70}}));
  EXPECT_EQ(later.threads, std::vector<std::thread::id>(3, std::this_thread::get_id()));
  // Posted soon: a burst wakes once when due; a message posted at once takes them along.
  Recorder soon;
  const WindowHandle hs = wm.Register(&soon);
  wakes = 0;
  for (LParam i = 0; i < 50; ++i) wm.PostMessageSoon(hs, 8, std::chrono::seconds(1), 0, i);
  EXPECT_EQ(wakes.load(), 0);
  EXPECT_EQ(wm.WaitAndDispatch(std::chrono::seconds(30)), 50u);
  EXPECT_EQ(wakes.load(), 1);
  wm.PostMessageSoon(hs, 8, std::chrono::seconds(30), 0, 50);
  wm.PostMessage(hs, 9);
  EXPECT_EQ(wakes.load(), 2);
  EXPECT_EQ(wm.DispatchPending(), 2u);
  ASSERT_EQ(soon.got.size(), 52u);
  EXPECT_TRUE(soon.got[49].lParam == 49 && soon.got[50].lParam == 50 && soon.got[51].message == 9u);
}

TEST(SingleInstanceTest, ALaterStartHandsItsAddressToTheRunningOne) {
  test::TempDir runtime;
  test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
  EXPECT_EQ(SingleInstance::SocketPath(), runtime.File("Vyrelle20SpecialClass"));
  EXPECT_FALSE(SingleInstance::HandOver("http://a.example/"));  // nobody runs yet
  // A socket file left by an instance that is gone does not stop a start.
  {
    SingleInstance gone;
    ASSERT_TRUE(gone.Listen(nullptr, nullptr));
    SingleInstance second;
    EXPECT_FALSE(second.Listen(nullptr, nullptr));  // one runs already
  }
  test::WriteFile(runtime.File("Vyrelle20SpecialClass"), "");

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> events;
  auto record = [&](const std::string& e) {
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(e);
    changed.notify_all();
  };
  SingleInstance running;
  ASSERT_TRUE(running.Listen([&](const std::string& a) { record("open " + a); }, [&] { record("front"); }));
  const struct {
    std::string handed;
    std::vector<std::string> expected;
  } cases[] = {
      {"mailto:ann@mail.example?subject=Hi there\nline", {"open mailto:ann@mail.example?subject=Hi there\nline", "front"}},
      {"", {"front"}},
  };
  for (const auto& c : cases) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      events.clear();
    }
    EXPECT_TRUE(SingleInstance::HandOver(c.handed));
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(5), [&] { return events.size() >= c.expected.size(); });
    EXPECT_EQ(events, c.expected);
  }
}

// The socket lives only in a folder nobody else may write to.
TEST(SingleInstanceTest, AFolderOthersMayWriteToHoldsNoSocket) {
  const struct {
    mode_t mode;
    bool used;
  } cases[] = {{0700, true}, {0755, true}, {0770, false}, {0777, false}, {01777, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    test::TempDir runtime;
    ASSERT_EQ(::chmod(runtime.Path().c_str(), c.mode), 0);
    test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
    EXPECT_EQ(SingleInstance::SocketPath(), c.used ? runtime.File(kSingleInstanceName) : "");
    SingleInstance instance;
    EXPECT_EQ(instance.Listen(nullptr, nullptr), c.used);
    EXPECT_EQ(SingleInstance::HandOver("http://a.example/"), c.used);
  }
}

// The connection check: a default route in the routing table's text.
TEST(NetworkRouteTest, DefaultRouteOnlyWhenUpWithZeroDestinationAndMask) {
  const std::string header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const struct {
    const char* name;
    std::string rows;
    bool connected;
  } cases[] = {
      {"gateway route", "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", true},
      {"local network only", "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n", false},
      {"default route down", "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n", false},
      {"cut row", "eth0\t00000000\t010200C0\t0003\n", false},
      {"not hexadecimal", "eth0\t0000000G\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n", false},
  };
  for (const auto& c : cases) EXPECT_EQ(RouteTableHasDefault(header + c.rows), c.connected) << c.name;
  // The header alone is never taken for a route.
  EXPECT_FALSE(RouteTableHasDefault("eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"));
}

// Each interface's MTU and the sysctl values; missing files read empty.
TEST(TcpSettings, ReadFromAFakeRoot) {
  test::TempDir root;
  std::filesystem::create_directories(root.File("class/net/ppp0"));
  test::WriteFile(root.File("class/net/ppp0/mtu"), "1492\n");
  std::filesystem::create_directories(root.File("class/net/wwan0"));
  const TcpSettings fake = ReadTcpSettings(root.Path(), root.File("proc"));
  ASSERT_EQ(fake.interfaces.size(), 2u);
  EXPECT_EQ(fake.interfaces[0].name + "=" + fake.interfaces[0].mtu, "ppp0=1492");
  EXPECT_EQ(fake.interfaces[1].name + "=" + fake.interfaces[1].mtu, "wwan0=");
  EXPECT_EQ(fake.defaultTtl + fake.tcpReceiveBuffer + fake.socketReceiveBuffer, "");
  test::WriteFile(root.File("proc/sys/net/ipv4/ip_default_ttl"), "64\n");
  test::WriteFile(root.File("proc/sys/net/ipv4/tcp_rmem"), "4096\t131072  6291456\n");
  test::WriteFile(root.File("proc/sys/net/core/rmem_default"), "212992\n");
  const TcpSettings halfRmem = ReadTcpSettings(root.Path(), root.File("proc"));
  EXPECT_EQ(halfRmem.defaultTtl + "|" + halfRmem.tcpReceiveBuffer, "64|4096 131072 6291456");
  EXPECT_EQ(halfRmem.socketReceiveBuffer, "");  // needs both
  test::WriteFile(root.File("proc/sys/net/core/rmem_max"), "8388608\n");
  EXPECT_EQ(ReadTcpSettings(root.Path(), root.File("proc")).socketReceiveBuffer, "212992 8388608");
}

}  // namespace
}  // namespace vyr::platform
