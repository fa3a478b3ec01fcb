// Feeds arbitrary header blocks to the header scanner that builds the
// summary of every received message, and checks what the message list and
// the duplicate check rely on: every field within its cut, the parameter
// reader within the same cut, and a message key of the form "X-<digits>" or
// "X--<digits>".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/store/message_summary.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  vyr::MessageSummary summary;
  summary.from = "left over from another message";
  vyr::ScanHeaders(text, summary);
  for (const std::string* field :
       {&summary.from, &summary.subject, &summary.to, &summary.cc, &summary.bcc, &summary.date,
        &summary.mimeVersion, &summary.contentType, &summary.contentTransferEncoding,
        &summary.fileName, &summary.boundary, &summary.id}) {
    Require(field->size() <= vyr::kMaxHeaderValue);
  }
  Require(summary.from != "left over from another message");

  for (std::string_view name : {"name", "filename", "boundary", "charset"}) {
    Require(vyr::HeaderParameter(text, name).size() <= vyr::kMaxHeaderValue);
  }

  const std::string key = vyr::MessageKeyFromSummary(summary);
  Require(key.size() >= 3 && key.compare(0, 2, "X-") == 0);
  const size_t digits = key[2] == '-' ? 3 : 2;
  Require(key.size() > digits && key.find_first_not_of("0123456789", digits) == std::string::npos);
  return 0;
}
