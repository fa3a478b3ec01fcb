#include "browser/opened_files.h"

#include <algorithm>
#include <cctype>

#include "base/application.h"
#include "platform/text.h"
#include "platform/url_canonicalizer.h"

namespace vyr {

void OpenedFileList::Load(const Application& app) {
  entries_.clear();
  const int count = std::clamp(app.Get(kFilesOpenedNum), 0, static_cast<int>(kMaxEntries));
  for (int n = 1; n <= count; ++n) {
    std::string file = app.Get(kFilesOpened.At(n));
    if (!platform::Trim(file, " \t").empty()) entries_.push_back(std::move(file));
  }
}

bool OpenedFileList::Add(const Application& app, const std::string& typed) {
  const std::string text = platform::Trim(typed, " \t\r\n");
  if (text.empty()) return false;
  entries_.insert(entries_.begin(), text);
  if (entries_.size() > kMaxEntries) entries_.resize(kMaxEntries);
  app.Write(kFilesOpenedNum, static_cast<int>(entries_.size()));
  for (size_t n = 0; n < entries_.size(); ++n) app.Write(kFilesOpened.At(static_cast<int>(n + 1)), entries_[n]);
  return true;
}

OpenPlan PlanOpen(const std::string& typed, const std::string& home) {
  const std::string text = platform::Trim(typed, " \t\r\n");
  std::string path;
  if (platform::StartsWithNoCase(text, "file://")) {
    std::string rest = text.substr(7);
    if (platform::StartsWithNoCase(rest, "localhost/")) rest = rest.substr(9);
    if (!rest.empty() && rest[0] == '/') path = platform::DecodePercentEscapes(rest.substr(0, rest.find_first_of("?#")));
  } else if (!text.empty() && text[0] == '/') {
    path = text;
  } else if (platform::StartsWith(text, "~/") && !home.empty()) {
    path = home + text.substr(1);
  }
  if (path.empty()) return {true, text};
  std::string tail = text.size() > 5 ? text.substr(text.size() - 5) : text;
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (tail.find(".HTM") != std::string::npos) return {true, "file://" + platform::PercentEncode(path, "/")};
  return {false, path};
}

}  // namespace vyr
