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
  DovecotServer() = default;
  ~DovecotServer();
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  // Serves TLS with these PEM files: STLS on Port(), TLS from the first
  // byte on TlsPort(). Call before Start.
  void UseTls(const std::string& certPem, const std::string& keyPem) { certPem_ = certPem, keyPem_ = keyPem; }
  bool Start(std::string* error);  // false with a reason
  int Port() const { return port_; }
  int TlsPort() const { return tlsPort_; }

  // Adds (or changes) a user with a clear-text password, before or after Start.
  void AddUser(const std::string& user, const std::string& password);
  // Delivers a message into the user's Maildir; POP3 numbers them in the
  // order they were added.
  void AddMessage(const std::string& user, const std::string& rfc822Text);
  size_t MessageCount(const std::string& user) const;
  void ClearMailbox(const std::string& user);

 private:
  std::string Maildir(const std::string& user) const;

  std::string scratch_, certPem_, keyPem_;
  std::map<std::string, std::string> users_;
  int port_ = 0, tlsPort_ = 0;
  bool running_ = false;
  unsigned counter_ = 0;
};

}  // namespace vyr::test
