// The mail client choice and a message handed to the chosen program.
#include "mail/send/mail_client.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <future>

#include "base/application.h"
#include "platform/desktop_defaults.h"
#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
struct ScratchDesktop {
  ScratchDesktop() {
    const std::string apps = scratch.File("share1/applications");
    test::WriteFile(apps + "/mimeinfo.cache",
                    "[MIME Cache]\ntext/plain=editor.desktop;\nx-scheme-handler/mailto=alpha-mail.desktop;"
                    "vyrelle.desktop;gone.desktop;\n");
    test::WriteFile(apps + "/alpha-mail.desktop",
                    "[Desktop Entry]\nType=Application\nName=Alpha Mail\nName[de]=Alpha Post\nIcon=alpha\n"
                    "Exec=\"" + Recorder() + "\" --compose %u\n");
    test::WriteFile(apps + "/vyrelle.desktop", "[Desktop Entry]\nType=Application\nName=Vyrelle\nExec=vyrelle %u\n");
    test::WriteFile(apps + "/hidden-mail.desktop",
                    "[Desktop Entry]\nName=Hidden\nHidden=true\nExec=hidden %u\nMimeType=x-scheme-handler/mailto;\n");
    test::WriteFile(apps + "/link.desktop",
                    "[Desktop Entry]\nType=Link\nName=Link\nExec=link %u\nMimeType=x-scheme-handler/mailto;\n");
    test::WriteFile(apps + "/editor.desktop", "[Desktop Entry]\nName=Editor\nExec=editor %f\nMimeType=text/plain;\n");
    test::WriteFile(scratch.File("share2/applications/beta.desktop"),
                    "[Desktop Entry]\nName=Beta\nExec=recorder\nMimeType=text/html;x-scheme-handler/mailto;\n");
    test::WriteFile(scratch.File("share2/applications/alpha-mail.desktop"),
                    "[Desktop Entry]\nName=Shadowed\nExec=shadow %u\nMimeType=x-scheme-handler/mailto;\n");
    test::WriteFile(Recorder(), "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done >> '" +
                                    scratch.File("recorded") + "'\necho >> '" + scratch.File("recorded") + "'\n");
    ::chmod(Recorder().c_str(), 0755);
  }
  std::string Recorder() const { return scratch.File("bin/recorder"); }
  std::string Recorded() const {
    std::string text;
    platform::ReadWholeFile(scratch.File("recorded"), text);
    return text;
  }
  test::TempDir scratch;
  test::ScopedEnv config{"XDG_CONFIG_HOME", scratch.File("config")}, data{"XDG_DATA_HOME", scratch.File("data")},
      configDirs{"XDG_CONFIG_DIRS", scratch.File("etc")},
      dataDirs{"XDG_DATA_DIRS", scratch.File("share1") + ":" + scratch.File("share2")},
      desktop{"XDG_CURRENT_DESKTOP", std::nullopt}, path{"PATH", scratch.File("bin") + ":/usr/bin:/bin"};
};

platform::DesktopOpenResult RunToEnd(const MailHandOver& plan) {
  auto done = std::make_shared<std::promise<platform::DesktopOpenResult>>();
  auto result = done->get_future();
  StartMailProgram(plan, [done](const platform::DesktopOpenResult& r) { done->set_value(r); });
  if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) return {false, -99};
  return result.get();
}

TEST(MailClientTest, ListsTheDesktopsMailProgramsAndMakesOneTheDefault) {
  test::TestApp t;
  ScratchDesktop d;
  std::string listed;
  for (const MailClient& c : DesktopMailClients()) listed += c.id + "=" + c.name + "/" + c.icon + ";";
  EXPECT_EQ(listed, "alpha-mail.desktop=Alpha Mail/alpha;beta.desktop=Beta/;");
  EXPECT_EQ(CurrentMailClient(), "");
  ASSERT_TRUE(SetDefaultMailClient(t.app, "beta.desktop"));
  EXPECT_EQ(test::ReadFile(d.scratch.File("config/mimeapps.list")),
            "[Default Applications]\nx-scheme-handler/mailto=beta.desktop;\n");
  EXPECT_EQ(CurrentMailClient(), "beta.desktop");
  EXPECT_EQ(t.app.GetString("email", "clientpath", ""), "recorder");
  ASSERT_TRUE(SetDefaultMailClient(t.app, "alpha-mail.desktop"));
  EXPECT_EQ(test::ReadFile(d.scratch.File("config/mimeapps.list")),
            "[Default Applications]\nx-scheme-handler/mailto=alpha-mail.desktop;beta.desktop;\n");
  EXPECT_EQ(t.app.GetString("email", "clientpath", ""), "\"" + d.Recorder() + "\" --compose %u");
  EXPECT_FALSE(SetDefaultMailClient(t.app, "gone.desktop"));
  EXPECT_EQ(CurrentMailClient(), "alpha-mail.desktop");
}

TEST(MailClientTest, AMessageGoesToTheChosenProgramAsOneEncodedLink) {
  const MailtoFields fields{"Ann <ann@x.example>", "cc@x.example", "Hi & bye? 100%", "Line 1\r\nLine 2=x"};
  const std::string link =
      "mailto:Ann%20%3Cann@x.example%3E?cc=cc%40x.example&subject=Hi%20%26%20bye%3F%20100%25"
      "&body=Line%201%0D%0ALine%202%3Dx";
  using R = MailHandOver::Route;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const struct {
    const char* name;
    int use;
    std::string clientPath;
    std::string defaultClient;
    R route;
    std::string recorded;
  } cases[] = {
      {"integrated by default", -1, "recorder", "alpha-mail.desktop", R::kIntegrated, ""},
      {"the desktop's client by its Exec line", 0, "", "alpha-mail.desktop", R::kProgram,
       "[--compose][" + link + "]\n[--compose]\n"},
      {"the desktop's client without a field code", 0, "", "beta.desktop", R::kProgram, "[" + link + "]\n\n"},
      {"the desktop sends mailto links back here", 0, "", "vyrelle.desktop", R::kIntegrated, ""},
      {"the desktop has no mail program", 0, "", "", R::kNoProgram, ""},
      {"another program, found on PATH", 2, "recorder -x", "", R::kProgram, "[-x][" + link + "]\n[-x]\n"},
      {"any other value is another program", 7, "recorder %u --end", "", R::kProgram,
       "[" + link + "][--end]\n[--end]\n"},
      {"another program that is this one", 2, self + " %u", "",
       R::kIntegrated, ""},
      {"no program given", 2, "  ", "alpha-mail.desktop", R::kNoProgram, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TestApp t;
    ScratchDesktop d;
    if (c.use >= 0) t.app.WriteInt("email", "UseVyrMail", c.use);
    t.app.WriteString("email", "clientpath", c.clientPath);
    if (!c.defaultClient.empty()) {
      test::WriteFile(d.scratch.File("config/mimeapps.list"),
                      "[Default Applications]\nx-scheme-handler/mailto=" + c.defaultClient + ";\n");
    }
    const MailHandOver plan = PlanComposeMail(t.app, fields);
    EXPECT_EQ(plan.route, c.route);
    if (plan.route == R::kProgram) {
      EXPECT_EQ(plan.link, link);
      const platform::DesktopOpenResult r = RunToEnd(plan);
      EXPECT_TRUE(r.started);
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(RunToEnd(PlanOpenMailProgram(t.app)).status, 0);
    }
    EXPECT_EQ(d.Recorded(), c.recorded);
  }
  test::TestApp t;
  ScratchDesktop d;
  t.app.WriteInt("email", "UseVyrMail", 2);
  t.app.WriteString("email", "clientpath", d.scratch.File("bin/missing") + " %u");
  const platform::DesktopOpenResult missing = RunToEnd(PlanComposeMail(t.app, fields));
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(MailProgramFailureText("missing %u"),
            "Could not open mail client\n[ missing %u ]\nDo you want to check your email settings?");
}

}  // namespace
}  // namespace vyr
