// Feeds arbitrary bytes to the reader of the home server's ping replies and
// to the making of request addresses, and checks what the session relies
// on: a reply that is not a "PONG" gives no command, every command is a
// whole "#"-closed segment of the reply's text in order, and no request
// address can carry a blank or a control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "net/server_session.h"
#include "base/usage_stats.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string_view text = std::string_view(input).substr(0, input.find('\0'));

  std::vector<std::string> commands;
  const std::int32_t result = vyr::net::ResultCode(vyr::net::ParsePongReply(input, commands));
  Require(result == 0 || result == -42);
  const size_t first = text.find('#');
  std::string token(text.substr(0, first));
  for (char& c : token) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  Require((result == 0) == (token == "pong"));
  if (result != 0) Require(commands.empty());
  // Each command is found, closed by "#", after the one before it.
  size_t pos = first == std::string_view::npos ? text.size() : first;
  for (const std::string& command : commands) {
    Require(!command.empty());
    Require(command.find('#') == std::string::npos);
    const size_t at = text.find("#" + command + "#", pos);
    Require(at != std::string_view::npos);
    pos = at + 1 + command.size();
  }

  for (bool plus : {true, false}) {
    const std::string address = vyr::net::MakeRequestAddress(input, plus);
    Require(address.size() <= 3 * input.size());
    for (unsigned char c : address) Require(c > 0x20 && c != 0x7F);
    if (input.find('%') == std::string::npos) {
      std::string back = vyr::DecodeEscapes(address);
      if (plus) {
        for (char& c : back) c = c == '+' ? ' ' : c;
        std::string expected = input;
        for (char& c : expected) c = c == '+' ? ' ' : c;
        Require(back == expected);
      } else {
        Require(back == input);
      }
    }
  }
  return 0;
}
