#include "tools/test_support.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/profile_file.h"
#include "platform/string_table.h"

namespace vyr::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vyrelle-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {
void SetEnv(const std::string& name, const std::optional<std::string>& value) {
  value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
}
}  // namespace

ScopedEnv::ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
  if (const char* v = std::getenv(name)) old_ = v;
  SetEnv(name_, value);
}

ScopedEnv::~ScopedEnv() { SetEnv(name_, old_); }

void WriteFile(const std::string& path, const std::string& contents) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << contents;
}

int RunInChild(const std::function<int()>& body) {
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

bool AllChildrenSucceed(int count, const std::function<int(int)>& body) {
  std::vector<pid_t> children;
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body(i));
    if (pid > 0) children.push_back(pid);
  }
  bool ok = static_cast<int>(children.size()) == count;
  for (pid_t pid : children) {
    int status = 0;
    ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}

bool HasIPv6Loopback() {
  const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in6 a{};
  a.sin6_family = AF_INET6;
  a.sin6_addr = in6addr_loopback;
  const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return bound;
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

TestApp::TestApp() : app((platform::ClearProfileCache(), platform::SetStringLanguage(platform::Language::English),
                          home.Path()),
                         boxes, sounds) {}

int RecordingMessageBox::Error(const std::string& text, const std::string& caption) {
  boxes.push_back({"error", text, caption});
  return IDOK;
}
int RecordingMessageBox::Question(const std::string& text, const std::string& caption,
                                  bool* dontShowAgain) {
  boxes.push_back({"question", text, caption, dontShowAgain ? checkBoxText_ : ""});
  if (dontShowAgain && tickCheckBox) *dontShowAgain = true;
  return answer;
}
int RecordingMessageBox::QuestionWithCheckBox(const std::string& text, const std::string& caption,
                                              const std::string& checkBoxText, bool* checked) {
  checkBoxText_ = checkBoxText;
  const int result = Question(text, caption, checked);  // a test's own Question still answers
  checkBoxText_ = kDontShowAgainText;
  return result;
}
int RecordingMessageBox::Information(const std::string& text, const std::string& caption) {
  boxes.push_back({"info", text, caption});
  return IDOK;
}

}  // namespace vyr::test
