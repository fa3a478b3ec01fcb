// The mail check against a local Dovecot: 1 000 messages of about 10 KB.
// Reports the total time, the time beyond the fixed 50 ms pause before each
// command the client sends, the same mailbox fetched by fetchmail into a
// Maildir (when fetchmail is installed), and the check's peak memory with
// one large message: that check runs in a child process (vyrelle-cli mail
// check on the same profile), so the figure is the check's own and not
// this program's, which built the message.
//
//   build/bench/mail_check_bench [messages] [large-MB] [vyrelle-cli]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/application.h"
#include "mail/receive/mail_accounts.h"
#include "mail/receive/mail_check.h"
#include "mail_check_common.h"
#include "tools/dovecot_server.h"
#include "tools/test_support.h"

using namespace vyr;
using bench::Clock;
using bench::MakeMessage;
using bench::RunCheck;
namespace fs = std::filesystem;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs vyrelle-cli mail check on the profile in home; its peak resident
// memory in kB (negative when it failed). The peak is the high-water mark
// the system keeps for the program's own memory (VmHWM), read every 5 ms
// until it ends: the rusage of a spawned child would count this process's
// memory too, which the child shared until it started the program.
long CheckPeakKb(const std::string& cli, const std::string& home) {
  std::string homeVar = "VYRELLE_HOME=" + home;
  char* argv[] = {const_cast<char*>(cli.c_str()), const_cast<char*>("mail"), const_cast<char*>("check"),
                  nullptr};
  char* envp[] = {homeVar.data(), nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv, envp);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0) return -1;
  // posix_spawn returns once the child runs the program.
  const std::string statusFile = "/proc/" + std::to_string(pid) + "/status";
  long peak = 0;
  int status = 0;
  for (;;) {
    std::ifstream in(statusFile);
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("VmHWM:", 0) == 0) peak = std::max(peak, std::atol(line.c_str() + 6));
    }
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) break;
    if (ended < 0) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return peak;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int largeMb = argc > 2 ? std::atoi(argv[2]) : 25;
  test::DovecotServer dovecot;
  std::string error;
  if (!dovecot.Start(&error)) {
    std::fprintf(stderr, "cannot start Dovecot: %s\n", error.c_str());
    return 1;
  }
  dovecot.AddUser("alice", "wonderland");
  for (int i = 1; i <= count; ++i) dovecot.AddMessage("alice", MakeMessage(i, 10 * 1024));

  test::TempDir home;
  StderrMessageBox boxes;
  SilentSoundPlayer sounds;
  Application app(home.Path(), boxes, sounds);
  app.WriteString("email", "pop3-server", "127.0.0.1");
  app.WriteInt("email", "POP3Port", dovecot.Port());
  app.WriteString("email", "pop3-account", "alice");
  app.WriteString("email", "pop3-pass", StoredPassword("wonderland"));

  const double cpuBefore = CpuSeconds();
  const double total = RunCheck(app);
  const double cpu = CpuSeconds() - cpuBefore;
  if (total < 0) {
    std::fprintf(stderr, "the check failed\n");
    return 1;
  }
  // Commands sent: USER and PASS as three sends each, STAT, UIDL, then LIST
  // and RETR for every message, and QUIT; each is preceded by 50 ms.
  const long sends = 6 + 1 + 1 + 2L * count + 1;
  // Each temporary file name is also followed by a 10 ms pause under the
  // mail lock, so that two names never share a tick.
  const double pauses = sends * 0.050 + count * 0.010;
  size_t stored = 0;
  for (const auto& e : fs::directory_iterator(home.File("vyrelle/email/Inbox"))) stored += e.is_regular_file();
  std::printf("vyrelle: %d messages (%zu stored) in %.2f s; fixed pauses %.2f s; beyond the pauses %.3f ms "
              "per message (target < 2 ms)\n",
              count, stored, total, pauses, (total - pauses) * 1000.0 / count);
  std::printf("vyrelle: processor time of the check itself (not the server's): %.3f ms per message\n",
              cpu * 1000.0 / count);

  // fetchmail, the same mailbox, into a Maildir.
  if (fs::exists("/usr/bin/fetchmail")) {
    const std::string maildir = home.File("fetchmail-maildir");
    fs::create_directories(maildir + "/new");
    fs::create_directories(maildir + "/tmp");
    fs::create_directories(maildir + "/cur");
    const std::string rc = home.File("fetchmailrc");
    {
      std::ofstream out(rc);
      out << "poll 127.0.0.1 protocol pop3 port " << dovecot.Port() << "\n"
          << "  user \"alice\" password \"wonderland\" keep fetchall sslproto ''\n"
          << "  mda \"/bin/sh -c 'cat > " << maildir << "/new/$$.$(date +%s%N)'\"\n";
    }
    fs::permissions(rc, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
    const std::string cmd = "HOME=" + home.Path() + " fetchmail --nodetach --silent -f " + rc +
                            " --pidfile " + home.File("fetchmail.pid") + " >" + home.File("fetchmail.log") +
                            " 2>&1";
    auto start = Clock::now();
    int status = std::system(cmd.c_str());
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    size_t fetched = 0;
    for (const auto& e : fs::directory_iterator(maildir + "/new")) fetched += e.is_regular_file();
    std::printf("fetchmail: %zu messages in %.2f s (%.3f ms per message; exit %d)\n", fetched, seconds,
                seconds * 1000.0 / count, status);
    if (fetched == 0) {
      std::string log;
      std::ifstream in(home.File("fetchmail.log"));
      std::getline(in, log, '\0');
      std::printf("fetchmail said: %s\n", log.c_str());
    }
  } else {
    std::printf("fetchmail: not installed (Debian package fetchmail)\n");
  }

  // Peak memory with one large message, in a process of its own.
  dovecot.ClearMailbox("alice");
  const size_t largeBytes = static_cast<size_t>(largeMb) * 1024 * 1024;
  dovecot.AddMessage("alice", MakeMessage(0, largeBytes));
  app.WriteString("email", "IDLastMessageDownloaded", "?");
  const long peak = CheckPeakKb(argc > 3 ? argv[3] : VYRELLE_CLI_PROGRAM, home.Path());
  if (peak < 0) {
    std::fprintf(stderr, "vyrelle-cli mail check failed\n");
    return 1;
  }
  std::printf("peak resident memory of the check (vyrelle-cli mail check, one %d MB message): %.1f MB; limit "
              "3 x %d MB + 20 MB = %d MB\n",
              largeMb, peak / 1024.0, largeMb, 3 * largeMb + 20);
  return 0;
}
