#pragma once
// A private Dovecot POP3 server for the mail tests: its own configuration,
// run and state folders and Maildir tree in a scratch folder, listening on a
// free loopback port. Needs root (Dovecot switches to its own users) and the
// Debian package dovecot-pop3d. Stopped, and its folder removed, when the
// object goes away.
#include <map>
#include <string>

namespace vyr::test {

class DovecotServer {
 public:
  DovecotServer();
  ~DovecotServer();
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  // Starts the server; false with a reason.
  bool Start(std::string* error);
  int Port() const { return port_; }

  // Serves TLS with this certificate and key (PEM files): STLS on Port(),
  // TLS from the first byte on TlsPort(). Call before Start.
  void UseTls(const std::string& certPem, const std::string& keyPem);
  int TlsPort() const { return tlsPort_; }

  // Adds (or changes) a mailbox user with a clear-text password. Works
  // before and after Start.
  void AddUser(const std::string& user, const std::string& password);
  // Delivers a message into the user's Maildir ("new"). Messages added one
  // after another are numbered by POP3 in that order.
  void AddMessage(const std::string& user, const std::string& rfc822Text);
  // Messages in the user's Maildir (cur and new).
  size_t MessageCount(const std::string& user) const;
  void ClearMailbox(const std::string& user);

  const std::string& LogPath() const { return logPath_; }

 private:
  std::string Maildir(const std::string& user) const;
  void WritePasswords() const;
  bool WaitForGreeting(int timeoutMs) const;

  std::string scratch_;
  std::string configPath_;
  std::string logPath_;
  std::map<std::string, std::string> users_;
  int port_ = 0;
  int tlsPort_ = 0;
  std::string certPem_, keyPem_;
  bool running_ = false;
  unsigned counter_ = 0;
};

}  // namespace vyr::test
