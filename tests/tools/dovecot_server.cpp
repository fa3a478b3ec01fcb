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
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "tools/test_support.h"

extern char** environ;

namespace vyr::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr const char* kPop3Binary = "/usr/lib/dovecot/pop3";
constexpr uid_t kMailUid = 65534;
constexpr gid_t kMailGid = 65534;

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
  if (rc != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof address;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &len) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

void MakeMailDirectory(const std::string& path) {
  fs::create_directories(path);
  ::chown(path.c_str(), kMailUid, kMailGid);
  ::chmod(path.c_str(), 0700);
}

}  // namespace

DovecotServer::DovecotServer() = default;

DovecotServer::~DovecotServer() {
  if (running_) {
    Run({kDovecot, "-c", configPath_, "stop"});
    // Wait for the master to go away before its folders are removed.
    const std::string pidFile = scratch_ + "/run/master.pid";
    for (int i = 0; i < 100 && fs::exists(pidFile); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  if (!scratch_.empty()) {
    std::error_code ec;
    fs::remove_all(scratch_, ec);
  }
}

std::string DovecotServer::Maildir(const std::string& user) const {
  return scratch_ + "/mail/" + user + "/Maildir";
}

void DovecotServer::WritePasswords() const {
  if (scratch_.empty()) return;
  std::string text;
  for (const auto& [user, password] : users_) text += user + ":{PLAIN}" + password + "\n";
  const std::string path = scratch_ + "/passwd";
  WriteFile(path + ".tmp", text);
  ::chmod((path + ".tmp").c_str(), 0644);
  fs::rename(path + ".tmp", path);
}

void DovecotServer::AddUser(const std::string& user, const std::string& password) {
  users_[user] = password;
  if (scratch_.empty()) return;
  WritePasswords();
  MakeMailDirectory(scratch_ + "/mail/" + user);
  for (const char* sub : {"", "/cur", "/new", "/tmp"}) MakeMailDirectory(Maildir(user) + sub);
}

void DovecotServer::AddMessage(const std::string& user, const std::string& rfc822Text) {
  // Maildir delivery: write under tmp, then rename into new. Names sort in
  // delivery order, which is the order Dovecot numbers them in.
  char name[96];
  std::snprintf(name, sizeof name, "%010ld.M%06uP%d.vyrelle-test", static_cast<long>(std::time(nullptr)),
                ++counter_, static_cast<int>(::getpid()));
  const std::string tmp = Maildir(user) + "/tmp/" + name;
  WriteFile(tmp, rfc822Text);
  ::chown(tmp.c_str(), kMailUid, kMailGid);
  ::chmod(tmp.c_str(), 0600);
  fs::rename(tmp, Maildir(user) + "/new/" + name);
}

size_t DovecotServer::MessageCount(const std::string& user) const {
  size_t count = 0;
  for (const char* sub : {"/cur", "/new"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Maildir(user) + sub, ec)) {
      if (entry.is_regular_file()) ++count;
    }
  }
  return count;
}

void DovecotServer::ClearMailbox(const std::string& user) {
  for (const char* sub : {"/cur", "/new"}) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Maildir(user) + sub, ec)) fs::remove(entry.path(), ec);
  }
}

bool DovecotServer::WaitForGreeting(int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port_));
    bool greeted = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      pollfd p{fd, POLLIN, 0};
      char buffer[64] = {};
      if (::poll(&p, 1, 2000) == 1 && ::recv(fd, buffer, sizeof buffer - 1, 0) > 0) {
        greeted = buffer[0] == '+';
      }
    }
    ::close(fd);
    if (greeted) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

void DovecotServer::UseTls(const std::string& certPem, const std::string& keyPem) {
  certPem_ = certPem;
  keyPem_ = keyPem;
}

bool DovecotServer::Start(std::string* error) {
  if (::access(kDovecot, X_OK) != 0 || ::access(kPop3Binary, X_OK) != 0) {
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
  scratch_ = pattern;
  ::chmod(scratch_.c_str(), 0755);
  for (const char* sub : {"/run", "/state"}) {
    fs::create_directories(scratch_ + sub);
    ::chmod((scratch_ + sub).c_str(), 0755);
  }
  fs::create_directories(scratch_ + "/mail");
  ::chmod((scratch_ + "/mail").c_str(), 0755);
  WritePasswords();
  for (const auto& [user, password] : users_) AddUser(user, password);

  configPath_ = scratch_ + "/dovecot.conf";
  logPath_ = scratch_ + "/dovecot.log";
  // A port found free may be taken by someone else before Dovecot binds it;
  // try a few.
  for (int attempt = 0; attempt < 3; ++attempt) {
    port_ = FreeLoopbackPort();
    tlsPort_ = certPem_.empty() ? 0 : FreeLoopbackPort();
    std::string ssl = "ssl = no\n";
    if (!certPem_.empty()) {
      // Copies the dovecot user can read.
      for (const auto& [from, to] : {std::pair{certPem_, "/cert.pem"}, std::pair{keyPem_, "/key.pem"}}) {
        fs::copy_file(from, scratch_ + to, fs::copy_options::overwrite_existing);
        ::chmod((scratch_ + to).c_str(), 0644);
      }
      ssl = "ssl = yes\nssl_cert = <" + scratch_ + "/cert.pem\nssl_key = <" + scratch_ + "/key.pem\n";
    }
    const std::string& s = scratch_;
    const std::string config =
        "base_dir = " + s + "/run\n"
        "state_dir = " + s + "/state\n"
        "protocols = pop3\n"
        "listen = 127.0.0.1\n"
        + ssl +
        "disable_plaintext_auth = no\n"
        "auth_mechanisms = plain\n"
        "auth_failure_delay = 0\n"
        "default_login_user = dovenull\n"
        "default_internal_user = dovecot\n"
        "log_path = " + logPath_ + "\n"
        "mail_location = maildir:~/Maildir\n"
        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " + s + "/passwd\n}\n"
        "userdb {\n  driver = static\n  args = uid=65534 gid=65534 home=" + s + "/mail/%u\n}\n"
        // No growing delay after failed log-ins from the same address.
        "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n"
        "service pop3-login {\n"
        "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " + std::to_string(port_) + "\n  }\n"
        "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " + std::to_string(tlsPort_) + "\n  }\n"
        "}\n";
    WriteFile(configPath_, config);
    ::chmod(configPath_.c_str(), 0644);
    if (Run({kDovecot, "-c", configPath_}) != 0) continue;
    running_ = true;
    if (WaitForGreeting(10000)) return true;
    Run({kDovecot, "-c", configPath_, "stop"});
    running_ = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  *error = "Dovecot did not start; its log:\n" + ReadFile(logPath_);
  return false;
}

}  // namespace vyr::test
