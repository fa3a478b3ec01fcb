// Feeds arbitrary bytes to the reader of the system address book (vCard),
// then writes what it read and reads that again: the entries must come back
// the same, so that adding one entry never changes the others.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "mail/send/address_lists.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<vyr::AddressBookEntry> entries = vyr::ReadVCards(text);
  // The file keeps no carriage return inside a value; the writer leaves
  // them out.
  for (vyr::AddressBookEntry& e : entries) {
    std::erase(e.displayName, '\r');
    std::erase(e.addressText, '\r');
  }
  const std::string written = vyr::WriteVCards(entries);
  // Written lines are folded: none is longer than 75 bytes.
  size_t lineStart = 0;
  for (size_t i = 0; i < written.size(); ++i) {
    if (written[i] == '\n') {
      Require(i - lineStart <= 76);  // 75 and the CR
      lineStart = i + 1;
    }
  }
  Require(vyr::ReadVCards(written) == entries);
  return 0;
}
