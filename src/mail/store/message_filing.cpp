#include "mail/store/message_filing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/file_reader.h"
#include "platform/file_system.h"
#include "platform/file_times.h"

namespace vyr {

namespace {

constexpr std::size_t kPiece = 64 * 1024;

// Puts back the times of a file read where the system would not read it
// without moving them, so that a comparison never turns a message read.
class TimesGuard {
 public:
  TimesGuard(const std::string& path, const platform::FileReader& reader) : path_(path) {
    keep_ = !reader.AccessTimeKept() && reader.Examine(&times_);
  }
  ~TimesGuard() {
    if (keep_) platform::SetFileTimes(path_, times_);
  }

 private:
  const std::string& path_;
  platform::FileTimes times_;
  bool keep_ = false;
};

// The name's key and suffix when it is "S<key>.mail" (suffix 1) or
// "S<key>~<n>.mail".
bool ParseStoredName(const std::string& name, std::string& key, unsigned& suffix) {
  constexpr std::string_view kExt = ".mail";
  if (name.size() < 1 + kExt.size() + 1 || name[0] != 'S' ||
      name.compare(name.size() - kExt.size(), kExt.size(), kExt) != 0) {
    return false;
  }
  std::string stem = name.substr(1, name.size() - 1 - kExt.size());
  suffix = 1;
  const size_t tilde = stem.rfind('~');
  if (tilde != std::string::npos) {
    const std::string digits = stem.substr(tilde + 1);
    if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    suffix = static_cast<unsigned>(std::stoul(digits));
    stem.resize(tilde);
  }
  if (stem.empty()) return false;
  key = std::move(stem);
  return true;
}

}  // namespace

bool HashMessageFile(const std::string& path, std::uint64_t& hash, std::uint64_t& size) {
  platform::FileReader reader(path);
  if (!reader.IsOpen()) return false;
  TimesGuard guard(path, reader);
  // FNV-1a over 8-byte words: quick, and a match is confirmed byte for byte.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  size = 0;
  std::unique_ptr<char[]> buffer(new char[kPiece]);
  for (;;) {
    const long got = reader.Read(buffer.get(), kPiece);
    if (got < 0) return false;
    if (got == 0) break;
    size += static_cast<std::uint64_t>(got);
    long i = 0;
    for (; i + 8 <= got; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, buffer.get() + i, 8);
      h = (h ^ word) * 0x100000001b3ULL;
    }
    for (; i < got; ++i) h = (h ^ static_cast<unsigned char>(buffer[i])) * 0x100000001b3ULL;
  }
  hash = h ^ size;
  return true;
}

bool SameMessageBytes(const std::string& a, const std::string& b) {
  platform::FileReader ra(a), rb(b);
  if (!ra.IsOpen() || !rb.IsOpen()) return false;
  TimesGuard ga(a, ra), gb(b, rb);
  std::unique_ptr<char[]> pa(new char[kPiece]), pb(new char[kPiece]);
  for (;;) {
    const long got = ra.Read(pa.get(), kPiece);
    if (got < 0) return false;
    // A file's read gives whole pieces until its end; the other is read
    // until it has as many bytes or ends.
    long have = 0;
    while (have < got) {
      const long more = rb.Read(pb.get() + have, static_cast<std::size_t>(got - have));
      if (more <= 0) return false;
      have += more;
    }
    if (got == 0) return rb.Read(pb.get(), 1) == 0;
    if (std::memcmp(pa.get(), pb.get(), static_cast<std::size_t>(got)) != 0) return false;
  }
}

std::string MessageFiling::NameFor(const std::string& key, unsigned suffix) const {
  return folder_ + "S" + key + (suffix <= 1 ? std::string() : "~" + std::to_string(suffix)) + ".mail";
}

void MessageFiling::ListFolder() {
  listed_ = true;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder_, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string key;
    unsigned suffix = 0;
    if (!ParseStoredName(it->path().filename().string(), key, suffix)) continue;
    KeyCopies& k = keys_[key];
    k.copies.push_back({it->path().string(), {}, {}});
    if (suffix >= k.next) k.next = suffix + 1;
  }
}

MessageFiling::KeyCopies& MessageFiling::CopiesOf(const std::string& key) {
  if (!listed_) ListFolder();
  return keys_[key];
}

MessageFiling::Outcome MessageFiling::File(const std::string& download, const std::string& key,
                                           std::string& target) {
  // The first message of a key takes the plain name: no listing, no read.
  target = NameFor(key, 1);
  platform::MoveResult moved = platform::MoveFileNoReplace(download, target, platform::FolderSync::kLater);
  if (moved == platform::MoveResult::Failed) return Outcome::kFailed;
  if (moved == platform::MoveResult::Moved) {
    if (listed_) keys_[key].copies.push_back({target, {}, {}});
    return Outcome::kStored;
  }

  KeyCopies& k = CopiesOf(key);
  // The plain name is taken, whether the listing saw it or not (another
  // process may have stored it since).
  if (std::none_of(k.copies.begin(), k.copies.end(), [&](const Copy& c) { return c.path == target; })) {
    k.copies.push_back({target, {}, {}});
  }
  std::uint64_t hash = 0, size = 0;
  if (!HashMessageFile(download, hash, size)) return Outcome::kFailed;
  auto same = [&](Copy& copy) {
    if (!copy.size) {
      std::error_code ec;
      const std::uintmax_t s = std::filesystem::file_size(copy.path, ec);
      copy.size = ec ? ~std::uint64_t{0} : static_cast<std::uint64_t>(s);
    }
    if (*copy.size != size) return false;
    if (!copy.hash) {
      std::uint64_t h = 0, s = 0;
      copy.hash = HashMessageFile(copy.path, h, s) ? h : ~hash;  // unreadable: never a match
    }
    return *copy.hash == hash && SameMessageBytes(download, copy.path);
  };
  auto duplicate = [&](const Copy& copy) {
    std::remove(download.c_str());
    target = copy.path;
    return Outcome::kDuplicate;
  };
  for (Copy& copy : k.copies) {
    if (same(copy)) return duplicate(copy);
  }
  // A different message: the number after the highest of its key.
  for (;;) {
    target = NameFor(key, k.next++);
    moved = platform::MoveFileNoReplace(download, target, platform::FolderSync::kLater);
    if (moved == platform::MoveResult::Failed) return Outcome::kFailed;
    if (moved == platform::MoveResult::Moved) {
      k.copies.push_back({target, size, hash});
      return Outcome::kStored;
    }
    // Taken by a file the listing did not know (stored since by another
    // process): a copy of the key like the others.
    k.copies.push_back({target, {}, {}});
    if (same(k.copies.back())) return duplicate(k.copies.back());
  }
}

}  // namespace vyr
