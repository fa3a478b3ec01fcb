// Feeds arbitrary text to the command tokenizer and, as a command link and
// as a bare address, to the special-address filter, with windows and
// services that only record. Checks what the program relies on: tokens are
// never empty and hold no blank or non-printable character, together they
// are the text without its separators; and nothing a link says can write the
// mail settings or the home server into the profile, install software from
// another server, open a script address in a popup or name a package "..".
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/command_dispatcher.h"
#include "app/command_recorder.h"
#include "platform/profile_file.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::string Lower(std::string s) {
  for (char& c : s) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return s;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

bool OnHomeDomain(const std::string& address) {
  const std::string host = vyr::AddressHost(address);
  return host == "vyrelle.example" ||
         (host.size() > 16 && host.compare(host.size() - 16, 16, ".vyrelle.example") == 0);
}

void CheckTokens(const std::string& text) {
  std::string token, lowered, joined, separatorsDropped;
  int pos = 0, last = 0;
  while ((pos = vyr::NextToken(text, pos, token, false)) >= 0) {
    Require(pos > last && !token.empty());
    for (unsigned char c : token) Require(c > ' ' && c < 0x7F);
    Require(vyr::NextToken(text, last, lowered, true) == pos && lowered == Lower(token));
    joined += token;
    last = pos;
  }
  Require(token.empty());
  for (unsigned char c : text) {
    if (c > ' ' && c < 0x7F) separatorsDropped += static_cast<char>(c);
  }
  Require(joined == separatorsDropped);
}

// What the recorded calls may never show.
void CheckCalls(const std::vector<std::string>& calls) {
  for (const std::string& call : calls) {
    const size_t blank = call.find(' ');
    const std::string name = call.substr(0, blank);
    const std::string args = blank == std::string::npos ? std::string() : call.substr(blank + 1);
    // From a command (the home domain) or the setup link (web or FTP host).
    if (name == "UpdateSoftware") Require(OnHomeDomain(args.substr(0, args.rfind(' '))));
    if (name == "UpdateProgramFiles") Require(OnHomeDomain(args.substr(args.find(' ') + 1)));
    if (name == "OpenPopupWindow") {
      Require(StartsWith(args, "http://") || StartsWith(args, "https://") || StartsWith(args, "ftp://"));
    }
    if (name == "ImportScheme") {
      const std::string last = args.substr(args.find_last_of("/\\") == std::string::npos ? 0 : args.find_last_of("/\\") + 1);
      Require(last != "." && last != "..");
    }
    if (name == "SetPingInterval") Require(args != "0");
  }
}

struct Rig {
  Rig() {
    char pattern[] = "/tmp/vyrelle-fuzz-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    Require(made != nullptr);
    home = made;
    app = new vyr::Application(home, recorder, sounds);
    dispatcher = new vyr::CommandDispatcher(*app, recorder, recorder);
    dispatcher->SetMemoryReader([] { return vyr::platform::MemoryStatus{1, 2, 3, 4, 5, 6, 7}; });
  }
  // The home folder goes when the run ends.
  ~Rig() {
    delete dispatcher;
    delete app;
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
  }
  std::string home;
  vyr::CommandRecorder recorder;
  vyr::SilentSoundPlayer sounds;
  vyr::Application* app;
  vyr::CommandDispatcher* dispatcher;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Rig rig;
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckTokens(text);

  const std::string profile = rig.home + "/vyr20.ini";
  ::unlink(profile.c_str());
  vyr::platform::ClearProfileCache();
  rig.recorder.calls.clear();
  rig.recorder.answer = (size > 0 && (data[0] & 1)) ? vyr::IDYES : vyr::IDNO;
  rig.recorder.downloadSucceeds = size > 0 && (data[0] & 2);

  const vyr::NavigationVerdict typed{vyr::Trust::Full, true, vyr::kTakesEverything};
  const vyr::NavigationVerdict byPage{vyr::Trust::None, false, vyr::kTakesEverything};
  rig.dispatcher->RunCommand(text);
  rig.dispatcher->HandleSpecialUrl("http://www.vyrelle.example/_cmd/" + text, typed);
  rig.dispatcher->HandleSpecialUrl(text, typed);
  CheckCalls(rig.recorder.calls);
  // A navigation a page started on its own never runs, asks, composes or
  // downloads anything.
  rig.recorder.calls.clear();
  rig.dispatcher->HandleSpecialUrl("http://www.vyrelle.example/_cmd/" + text, byPage);
  rig.dispatcher->HandleSpecialUrl(text, byPage);
  Require(rig.recorder.calls.empty());

  for (const std::string& section : vyr::platform::ReadProfileSectionNames(profile)) {
    Require(Lower(section) != "email");
    for (const auto& [key, value] : vyr::platform::ReadProfileSection(profile, section)) {
      const std::string k = Lower(key);
      Require(k.find_first_of("[]=") == std::string::npos);
      if (Lower(section) == "misc") {
        Require(k != "homeserver" && k != "updateurl");
        if (k == "ps") Require(OnHomeDomain(value));
      }
    }
  }
  Require(rig.app->HomeServer() == "http://www.vyrelle.example");
  return 0;
}
