#include "tools/dovecot_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include "tools/test_support.h"

extern char** environ;

namespace vyr::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr uid_t kMailUid = 65534;  // nobody, Dovecot's mail user here

// Runs a program quietly and gives its exit status (-1: not started).
int Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  if (rc != 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// port 0: binds a free port and gives it; otherwise true (1) once the
// server on `port` sent its "+" greeting.
int Probe(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(static_cast<uint16_t>(port));
  socklen_t len = sizeof a;
  auto* sa = reinterpret_cast<sockaddr*>(&a);
  int result = 0;
  char reply[8] = {};
  pollfd p{fd, POLLIN, 0};
  if (port == 0) {
    if (::bind(fd, sa, sizeof a) == 0 && ::getsockname(fd, sa, &len) == 0) result = ntohs(a.sin_port);
  } else if (::connect(fd, sa, sizeof a) == 0 && ::poll(&p, 1, 2000) == 1 && ::recv(fd, reply, 1, 0) == 1) {
    result = reply[0] == '+';
  }
  ::close(fd);
  return result;
}

void MakeMailDirectory(const std::string& path) {
  fs::create_directories(path);
  ::chown(path.c_str(), kMailUid, kMailUid);
  ::chmod(path.c_str(), 0700);
}

}  // namespace

DovecotServer::~DovecotServer() {
  if (running_) {
    Run({kDovecot, "-c", scratch_ + "/dovecot.conf", "stop"});
    // The master goes away before its folders are removed.
    for (int i = 0; i < 100 && fs::exists(scratch_ + "/run/master.pid"); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  std::error_code ec;
  if (!scratch_.empty()) fs::remove_all(scratch_, ec);
}

std::string DovecotServer::Maildir(const std::string& user) const { return scratch_ + "/mail/" + user + "/Maildir"; }

void DovecotServer::AddUser(const std::string& user, const std::string& password) {
  users_[user] = password;
  if (scratch_.empty()) return;  // written by Start
  std::string text;
  for (const auto& [name, pw] : users_) text += name + ":{PLAIN}" + pw + "\n";
  WriteFile(scratch_ + "/passwd.tmp", text);
  ::chmod((scratch_ + "/passwd.tmp").c_str(), 0644);
  fs::rename(scratch_ + "/passwd.tmp", scratch_ + "/passwd");
  MakeMailDirectory(scratch_ + "/mail/" + user);
  for (const char* sub : {"", "/cur", "/new", "/tmp"}) MakeMailDirectory(Maildir(user) + sub);
}

void DovecotServer::AddMessage(const std::string& user, const std::string& rfc822Text) {
  // Written under tmp, then renamed into new; the names sort in delivery
  // order, which is the order Dovecot numbers them in.
  char name[96];
  std::snprintf(name, sizeof name, "%010ld.M%06uP%d.vyrelle-test", static_cast<long>(std::time(nullptr)),
                ++counter_, static_cast<int>(::getpid()));
  const std::string tmp = Maildir(user) + "/tmp/" + name;
  WriteFile(tmp, rfc822Text);
  ::chown(tmp.c_str(), kMailUid, kMailUid);
  fs::rename(tmp, Maildir(user) + "/new/" + name);
}

size_t DovecotServer::MessageCount(const std::string& user) const {
  size_t count = 0;
  std::error_code ec;
  for (const char* sub : {"/cur", "/new"}) {
    for (const auto& entry : fs::directory_iterator(Maildir(user) + sub, ec)) count += entry.is_regular_file();
  }
  return count;
}

void DovecotServer::ClearMailbox(const std::string& user) {
  std::error_code ec;
  for (const char* sub : {"/cur", "/new"}) {
    for (const auto& entry : fs::directory_iterator(Maildir(user) + sub, ec)) fs::remove(entry.path(), ec);
  }
}

bool DovecotServer::Start(std::string* error) {
  if (::access(kDovecot, X_OK) != 0 || ::access("/usr/lib/dovecot/pop3", X_OK) != 0) {
    *error = "Dovecot's POP3 server is missing: install the Debian package dovecot-pop3d";
    return false;
  }
  if (::geteuid() != 0) {
    *error = "the private Dovecot POP3 server must be started as root";
    return false;
  }
  std::string pattern = (fs::temp_directory_path() / "vyrelle-dovecot-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    *error = "cannot make a scratch folder";
    return false;
  }
  const std::string& s = scratch_ = pattern;
  for (const char* sub : {"", "/run", "/state", "/mail"}) {
    fs::create_directories(s + sub);
    ::chmod((s + sub).c_str(), 0755);
  }
  WriteFile(s + "/passwd", "");
  for (const auto& [user, password] : std::map(users_)) AddUser(user, password);
  std::string ssl = "ssl = no\n";
  if (!certPem_.empty()) {
    // Copies the dovecot user can read.
    for (const auto& [from, to] : {std::pair{certPem_, "/cert.pem"}, std::pair{keyPem_, "/key.pem"}}) {
      fs::copy_file(from, s + to, fs::copy_options::overwrite_existing);
      ::chmod((s + to).c_str(), 0644);
    }
    ssl = "ssl = yes\nssl_cert = <" + s + "/cert.pem\nssl_key = <" + s + "/key.pem\n";
  }
  const std::string configPath = s + "/dovecot.conf";
  // A port found free may be taken by someone else before Dovecot binds it;
  // try a few.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = Probe(0);
    tlsPort_ = certPem_.empty() ? 0 : Probe(0);
    WriteFile(configPath,
              "base_dir = " + s + "/run\nstate_dir = " + s + "/state\nprotocols = pop3\nlisten = 127.0.0.1\n" + ssl +
                  "disable_plaintext_auth = no\nauth_mechanisms = plain\nauth_failure_delay = 0\n"
                  "default_login_user = dovenull\ndefault_internal_user = dovecot\n"
                  "log_path = " + s + "/dovecot.log\nmail_location = maildir:~/Maildir\n"
                  "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + s + "/passwd\n}\n"
                  "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=" + s + "/mail/%u\n}\n"
                  // No growing delay after failed log-ins from the same address.
                  "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
                  "service pop3-login {\n"
                  "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " + std::to_string(port_) + "\n  }\n"
                  "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " + std::to_string(tlsPort_) +
                  "\n  }\n}\n");
    ::chmod(configPath.c_str(), 0644);
    if (Run({kDovecot, "-c", configPath}) != 0) continue;
    running_ = true;
    for (int i = 0; i < 100; ++i) {
      if (Probe(port_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Run({kDovecot, "-c", configPath, "stop"});
    running_ = false;
  }
  *error = "Dovecot did not start; its log:\n" + ReadFile(s + "/dovecot.log");
  return false;
}

}  // namespace vyr::test
