// Feeds arbitrary header blocks to the header scanner that builds the
// summary of every received message, and checks what the message list and
// the duplicate check rely on: every field within its cut, nothing kept from
// a summary read before, the parameter reader within the same cut, and a
// message key of the form "X-<digits>" or "X--<digits>".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mail/store/message_summary.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string*> Fields(vyr::MessageSummary& s) {
  return {&s.from, &s.subject, &s.to, &s.cc, &s.bcc, &s.date, &s.mimeVersion, &s.contentType,
          &s.contentTransferEncoding, &s.fileName, &s.boundary, &s.id};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vyr::MessageSummary summary;
  vyr::ScanHeaders(text, summary);
  for (const std::string* field : Fields(summary)) Require(field->size() <= vyr::kMaxHeaderValue);

  // A summary that held another message's fields gets the same result.
  vyr::MessageSummary reused;
  for (std::string* field : Fields(reused)) *field = "another message";
  reused.number = 3;
  reused.total = 4;
  vyr::ScanHeaders(text, reused);
  const auto fresh = Fields(summary), again = Fields(reused);
  for (size_t k = 0; k < fresh.size(); ++k) Require(*fresh[k] == *again[k]);
  Require(summary.number == reused.number && summary.total == reused.total);

  for (std::string_view name : {"name", "filename", "boundary", "charset"}) {
    Require(vyr::HeaderParameter(text, name).size() <= vyr::kMaxHeaderValue);
  }

  const std::string key = vyr::MessageKeyOfHeaders(text);
  Require(key.size() >= 3 && key.compare(0, 2, "X-") == 0);
  const size_t digits = key[2] == '-' ? 3 : 2;
  Require(key.size() > digits && key.find_first_not_of("0123456789", digits) == std::string::npos);
  return 0;
}
