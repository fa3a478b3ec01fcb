#include "base/usage_stats.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "base/installation_id.h"
#include "base/cipher.h"
#include "platform/registry.h"
#include "platform/url_canonicalizer.h"
#include "platform/text.h"

namespace vyr {

namespace {

constexpr std::int64_t kMaxCount = std::numeric_limits<std::int32_t>::max();

std::int32_t Clamp(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, kMaxCount));
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Reads an optional sign and decimal digits at pos; the value saturates at
// the 32-bit range. False (pos unchanged) when there are no digits.
bool ReadInteger(std::string_view text, size_t& pos, std::int64_t& value) {
  size_t i = pos;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  std::int64_t v = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    v = std::min<std::int64_t>(v * 10 + (text[i] - '0'), std::int64_t{1} << 40);
    ++i;
  }
  value = std::clamp<std::int64_t>(negative ? -v : v, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  pos = i;
  return true;
}

// The value of a text read as a number: its leading integer, 0 when none.
std::int64_t LeadingInteger(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  std::int64_t value = 0;
  return ReadInteger(text, pos, value) ? value : 0;
}

// Reads integer triples separated by blanks or "+" and hands each to f.
template <typename F>
void ForEachTriple(std::string_view text, F f) {
  size_t pos = 0;
  for (;;) {
    std::int64_t v[3];
    for (int k = 0; k < 3; ++k) {
      while (pos < text.size() && IsBlank(text[pos])) ++pos;
      if (!ReadInteger(text, pos, v[k])) return;
    }
    f(static_cast<std::int32_t>(v[0]), v[1], v[2]);
  }
}

// Calls f(name, value) for every "&"-separated pair that has a name and "=".
template <typename F>
void ForEachPair(std::string_view text, F f) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view pair = text.substr(start, end - start);
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && eq > 0) f(pair.substr(0, eq), pair.substr(eq + 1));
    start = end + 1;
  }
}


}  // namespace

// --- usage counters ---------------------------------------------------------

void UsageCounters::CountUsage(int index, int amount) {
  if (index < 0 || index >= static_cast<int>(kUsageCounterNames.size())) return;
  CountUsage(std::string(kUsageCounterNames[static_cast<size_t>(index)]), amount);
}

void UsageCounters::CountUsage(const std::string& name, int amount) {
  if (name.empty()) return;
  std::int32_t& count = counts_[name];
  count = Clamp(std::int64_t{count} + amount);
}

std::int32_t UsageCounters::Get(const std::string& name) const {
  auto it = counts_.find(name);
  return it == counts_.end() ? 0 : it->second;
}

std::string UsageCounters::Text(bool withZero) const {
  std::string text;
  auto add = [&](const std::string& name, std::int32_t count) {
    if (count != 0 || withZero) text += "&" + name + "=" + std::to_string(count);
  };
  for (const char* name : kUsageCounterNames) {
    auto it = counts_.find(name);
    if (it != counts_.end()) add(it->first, it->second);
  }
  for (const auto& entry : counts_) {
    if (std::find_if(kUsageCounterNames.begin(), kUsageCounterNames.end(),
                     [&](const char* n) { return entry.first == n; }) == kUsageCounterNames.end()) {
      add(entry.first, entry.second);
    }
  }
  return text;
}

void UsageCounters::Reduce(const std::string& name, std::int64_t amount) {
  auto it = counts_.find(name);
  if (it == counts_.end() || amount <= 0) return;
  const std::int64_t left = std::int64_t{it->second} - amount;
  it->second = left < 1 ? 0 : Clamp(left);
}

void UsageCounters::Restore(std::string_view text) {
  ForEachPair(text, [&](std::string_view name, std::string_view value) {
    if (name == "URL" || name == "IBA") return;
    const std::int64_t amount = LeadingInteger(value);
    CountUsage(std::string(name), static_cast<int>(std::max<std::int64_t>(amount, 0)));
  });
}

// --- tracked addresses --------------------------------------------------------

TrackedUrl* TrackedUrlTable::Find(std::int32_t id) {
  for (TrackedUrl& e : entries_) {
    if (e.id == id) return &e;
  }
  return nullptr;
}

void TrackedUrlTable::TrackUrls(std::string_view text) {
  std::vector<std::string_view> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    const size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos])) ++pos;
    if (pos > start) tokens.push_back(text.substr(start, pos - start));
  }
  for (size_t k = 0; k + 1 < tokens.size(); k += 2) {
    const auto id = static_cast<std::int32_t>(LeadingInteger(tokens[k]));
    const std::string pattern(tokens[k + 1]);
    if (TrackedUrl* e = Find(id)) {
      e->pattern = pattern;
    } else {
      entries_.push_back({id, pattern, 0, 0});
    }
  }
}

void TrackedUrlTable::LoadIds(std::string_view text) { TrackUrls(platform::AsciiLower(text)); }

bool TrackedUrlTable::AddIfNew(std::int32_t id, const std::string& pattern) {
  if (Find(id)) return false;
  entries_.push_back({id, pattern, 0, 0});
  return true;
}

std::string NormalizeTrackedAddress(std::string_view address) {
  std::string lower = platform::AsciiLower(address);
  if (!lower.empty() && lower.back() == '/') lower.pop_back();
  return lower;
}

bool UrlPatternMatches(std::string_view pattern, std::string_view address) {
  if (pattern == address) return true;
  const size_t star = pattern.find('*');
  if (star == std::string_view::npos) return false;
  const std::string_view before = pattern.substr(0, star);
  const std::string_view after = pattern.substr(star + 1);
  if (!before.empty() && address.substr(0, before.size()) != before) return false;
  return after.empty() || (star <= address.size() && address.find(after, star) != std::string_view::npos);
}

bool TrackedUrlTable::RecordVisit(std::string_view address, bool isClick) {
  const std::string normal = NormalizeTrackedAddress(address);
  for (TrackedUrl& e : entries_) {
    if (UrlPatternMatches(e.pattern, normal)) {
      std::int32_t& count = isClick ? e.clicks : e.visits;
      count = Clamp(std::int64_t{count} + 1);
      return true;
    }
  }
  return false;
}

bool TrackedUrlTable::CountExact(std::string_view path, bool isClick) {
  const std::string lower = platform::AsciiLower(path);
  for (TrackedUrl& e : entries_) {
    if (e.pattern == lower) {
      std::int32_t& count = isClick ? e.clicks : e.visits;
      count = Clamp(std::int64_t{count} + 1);
      return true;
    }
  }
  return false;
}

std::string TrackedUrlTable::TriplesText() const {
  std::string text;
  for (const TrackedUrl& e : entries_) {
    if (e.visits == 0) continue;
    text += std::to_string(e.id) + " " + std::to_string(e.visits) + " " + std::to_string(e.clicks) + " ";
  }
  return text;
}

bool TrackedUrlTable::AnyVisits() const {
  return std::any_of(entries_.begin(), entries_.end(), [](const TrackedUrl& e) { return e.visits != 0; });
}

void TrackedUrlTable::ResetReported() {
  for (TrackedUrl& e : entries_) {
    if (e.visits != 0) e.visits = e.clicks = 0;
  }
}

std::string TrackedUrlTable::SavedText() const {
  std::string text;
  for (const TrackedUrl& e : entries_) {
    if (!text.empty()) text += ' ';
    text += std::to_string(e.id) + " " + e.pattern;
  }
  return text;
}

void TrackedUrlTable::ReduceTriples(std::string_view triples) {
  ForEachTriple(triples, [&](std::int32_t id, std::int64_t visits, std::int64_t clicks) {
    TrackedUrl* e = Find(id);
    if (!e) return;
    e->visits = Clamp(std::int64_t{e->visits} - std::max<std::int64_t>(visits, 0));
    e->clicks = Clamp(std::int64_t{e->clicks} - std::max<std::int64_t>(clicks, 0));
  });
}

void TrackedUrlTable::RestoreTriples(std::string_view triples) {
  ForEachTriple(triples, [&](std::int32_t id, std::int64_t visits, std::int64_t clicks) {
    TrackedUrl* e = Find(id);
    if (!e) return;
    e->visits = Clamp(std::int64_t{e->visits} + std::max<std::int64_t>(visits, 0));
    e->clicks = Clamp(std::int64_t{e->clicks} + std::max<std::int64_t>(clicks, 0));
  });
}

// --- acknowledgement ----------------------------------------------------------

std::string DecodeEscapes(std::string_view text) { return platform::DecodePercentEscapes(text); }

void Acknowledge(std::string_view argument, UsageCounters& counters, TrackedUrlTable& tracked,
                 TrackedUrlTable* infoBoxAds) {
  std::string text = DecodeEscapes(argument);
  // The text must fit the buffer with its terminator; a longer one keeps only
  // the pairs that fit whole, so that no amount is read cut short.
  if (text.size() > kAckBufferSize - 1) {
    const size_t cut = text.rfind('&', kAckBufferSize - 1);
    text.resize(cut == std::string::npos ? 0 : cut);
  }
  std::string_view pairs = text;
  if (!pairs.empty() && pairs.front() == '&') pairs.remove_prefix(1);
  ForEachPair(pairs, [&](std::string_view name, std::string_view value) {
    if (name == "URL") {
      tracked.ReduceTriples(value);
    } else if (name == "IBA") {
      if (infoBoxAds) infoBoxAds->ReduceTriples(value);
    } else {
      counters.Reduce(std::string(name), LeadingInteger(value));
    }
  });
}

// --- persistence --------------------------------------------------------------

const char kTrackedUrlsValue[] = "C7FC0A215DE111d2841400A024D4B66A";
const char kUnsentStatsValue[] = "8E53F962848911d291DF00A024D4B66A";

std::string UnsentStatsText(const UsageCounters& counters, const TrackedUrlTable& tracked) {
  std::string text = counters.Text(false);
  if (tracked.AnyVisits()) text += "&URL=" + tracked.TriplesText();
  return text;
}

namespace {
std::string ReadValue(const platform::Registry& registry, const char* name) {
  const auto stored = registry.GetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), name);
  std::string plain;
  if (!stored || !DecipherLongText(*stored, plain)) return {};
  return plain;
}
}  // namespace

void LoadUsageStats(const platform::Registry& registry, TrackedUrlTable& tracked,
                    UsageCounters& counters) {
  const std::string urls = ReadValue(registry, kTrackedUrlsValue);
  if (!urls.empty()) tracked.TrackUrls(urls);
  const std::string stats = ReadValue(registry, kUnsentStatsValue);
  counters.Restore(stats);
  ForEachPair(stats, [&](std::string_view name, std::string_view value) {
    if (name == "URL") tracked.RestoreTriples(value);
  });
}

bool SaveTrackedUrls(const platform::Registry& registry, const TrackedUrlTable& tracked) {
  const std::string text = tracked.SavedText();
  if (text.empty()) return true;
  return registry.SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), kTrackedUrlsValue,
                           EncipherText(text));
}

bool SaveUnsentStats(const platform::Registry& registry, const UsageCounters& counters,
                     const TrackedUrlTable& tracked) {
  return registry.SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), kUnsentStatsValue,
                           EncipherText(UnsentStatsText(counters, tracked)));
}

}  // namespace vyr
