// Feeds arbitrary bytes to the recipient splitting, the entry parser and the
// data encoder of the SMTP client, and checks what the sending relies on:
// no parsed address can carry a line break or anything else that would end
// a command, the two recipient lists stay parallel, an error names the
// entry it stopped at, and no encoded text can end the data early.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail/send/mail_address.h"
#include "mail/send/smtp_client.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckAddress(const std::string& address) {
  Require(!address.empty());
  const size_t at = address.find('@');
  Require(at != std::string::npos && at > 0 && at + 1 < address.size());
  for (unsigned char c : address) {
    Require(c >= 0x20 && c != 0x7F);
    Require(c != ' ');
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string name = "n", address = "a";
  if (vyr::ParseAddress(text, name, address)) {
    CheckAddress(address);
    Require(!name.empty());
    Require(text.find(address) != std::string::npos);
  } else {
    Require(name == "n" && address == "a");
  }

  std::vector<std::string> addresses, names;
  std::string error;
  const int result = vyr::SplitRecipients(text, addresses, names, error);
  Require(result == 0 || result == 2);
  Require(addresses.size() == names.size());
  for (const std::string& a : addresses) CheckAddress(a);
  if (result == 2) {
    Require(error.rfind(std::string(vyr::kInvalidRecipient) + ":", 0) == 0);
  } else {
    Require(error.empty());
    Require(!text.empty() || addresses.empty());
  }

  const std::string oneLine = vyr::OneLineHeaderValue(text);
  Require(oneLine.size() == text.size());
  Require(oneLine.find_first_of("\r\n") == std::string::npos);

  // Encoded data, split anywhere into two texts, has only CR LF line ends
  // and never a line holding a lone "."; undoing the dots gives the input
  // with its line ends made CR LF.
  vyr::SmtpDataEncoder encoder;
  std::string encoded = "\r\n";
  const size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  encoder.Append(std::string_view(text).substr(0, cut), encoded);
  encoder.Append(std::string_view(text).substr(cut), encoded);
  encoder.Finish(encoded);
  for (size_t i = 0; i < encoded.size(); ++i) {
    if (encoded[i] == '\r') Require(i + 1 < encoded.size() && encoded[i + 1] == '\n');
    if (encoded[i] == '\n') Require(i > 0 && encoded[i - 1] == '\r');
  }
  // With the terminator after it, the first end of the data is the real one.
  const std::string wire = encoded + "\r\n.\r\n";
  Require(wire.find("\r\n.\r\n") == wire.size() - 5);
  std::string normalized;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      normalized += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (text[i] == '\n') {
      normalized += "\r\n";
    } else {
      normalized += text[i];
    }
  }
  std::string unstuffed;
  bool lineStart = true;
  for (size_t i = 2; i < encoded.size(); ++i) {
    if (lineStart && encoded[i] == '.') {
      Require(i + 1 < encoded.size() && encoded[i + 1] == '.');
      ++i;
    }
    unstuffed += encoded[i];
    lineStart = encoded[i] == '\n';
  }
  Require(unstuffed == normalized);
  return 0;
}
