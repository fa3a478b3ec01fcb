// The mail check over TLS against a local Dovecot: 1 000 messages of about
// 10 KB fetched over a connection secured from the first byte (port of the
// pop3s listener), the server's certificate checked against a private
// authority. The same mailbox is then fetched by fetchmail over TLS with
// its certificate check, for comparison.
//
//   build/bench/mail_check_tls_bench [messages]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/application.h"
#include "mail/receive/mail_accounts.h"
#include "mail/receive/mail_check.h"
#include "mail/receive/mail_connection.h"
#include "mail_check_common.h"
#include "tools/dovecot_server.h"
#include "tools/test_certificates.h"
#include "tools/test_support.h"

using namespace vyr;
using bench::Clock;
using bench::MakeMessage;
using bench::RunCheck;
namespace fs = std::filesystem;

namespace {

size_t FilesIn(const std::string& dir) {
  size_t n = 0;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) n += e.is_regular_file();
  return n;
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
  std::string error;
  test::TempDir home;
  test::TestCertificates certs;
  if (!test::MakeTestCertificates(home.Path(), "DNS:localhost,IP:127.0.0.1", certs, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  test::DovecotServer dovecot;
  dovecot.UseTls(certs.certPem, certs.keyPem);
  if (!dovecot.Start(&error)) {
    std::fprintf(stderr, "cannot start Dovecot: %s\n", error.c_str());
    return 1;
  }
  dovecot.AddUser("alice", "wonderland");
  for (int i = 1; i <= count; ++i) dovecot.AddMessage("alice", MakeMessage(i, 10 * 1024));

  StderrMessageBox boxes;
  SilentSoundPlayer sounds;
  Application app(home.File("vyrelle-home"), boxes, sounds);
  app.WriteString("email", "pop3-server", "localhost");
  app.WriteInt("email", "POP3Port", dovecot.TlsPort());
  app.WriteInt("email", "POP3Security", kSecurityTls);
  app.WriteString("email", "TLSTrustFile", certs.caPem);
  app.WriteString("email", "pop3-account", "alice");
  app.WriteString("email", "pop3-pass", StoredPassword("wonderland"));

  const double total = RunCheck(app);
  if (total < 0) {
    std::fprintf(stderr, "the check failed\n");
    return 1;
  }
  // As in the plain check: 50 ms before every command, 10 ms after every
  // temporary file name.
  const double pauses = (6 + 1 + 1 + 2.0 * count + 1) * 0.050 + count * 0.010;
  std::printf("vyrelle over TLS: %d messages (%zu stored) in %.2f s; fixed pauses %.2f s; beyond the pauses "
              "%.3f ms per message\n",
              count, FilesIn(home.File("vyrelle-home/vyrelle/email/Inbox")), total, pauses,
              (total - pauses) * 1000.0 / count);

  if (!fs::exists("/usr/bin/fetchmail")) {
    std::printf("fetchmail: not installed (Debian package fetchmail)\n");
    return 0;
  }
  const std::string maildir = home.File("fetchmail-maildir");
  for (const char* sub : {"/new", "/tmp", "/cur"}) fs::create_directories(maildir + sub);
  const std::string rc = home.File("fetchmailrc");
  {
    std::ofstream out(rc);
    out << "poll localhost protocol pop3 port " << dovecot.TlsPort() << "\n"
        << "  user \"alice\" password \"wonderland\" keep fetchall ssl sslcertck sslcertfile \"" << certs.caPem
        << "\"\n"
        << "  mda \"/bin/sh -c 'cat > " << maildir << "/new/$$.$(date +%s%N)'\"\n";
  }
  fs::permissions(rc, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  const std::string cmd = "HOME=" + home.Path() + " fetchmail --nodetach --silent -f " + rc + " --pidfile " +
                          home.File("fetchmail.pid") + " >" + home.File("fetchmail.log") + " 2>&1";
  const auto start = Clock::now();
  const int status = std::system(cmd.c_str());
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const size_t fetched = FilesIn(maildir + "/new");
  std::printf("fetchmail over TLS: %zu messages in %.2f s (%.3f ms per message; exit %d)\n", fetched, seconds,
              seconds * 1000.0 / count, status);
  if (fetched == 0) std::printf("%s\n", test::ReadFile(home.File("fetchmail.log")).c_str());
  return 0;
}
