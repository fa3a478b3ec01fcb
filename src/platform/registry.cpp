#include "platform/registry.h"

#include <algorithm>

#include "platform/cached_file.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr::platform {

namespace {

const char kHeader[] = "VYRELLE REGISTRY 1";

bool SameName(const std::string& a, const std::string& b) { return AsciiLower(a) == AsciiLower(b); }

// Key paths use "\" between components; "/" is accepted too. Empty
// components (doubled or trailing separators) are dropped.
std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::string Escape(const std::string& s) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a quoted, escaped text starting at s[pos] == '"'. On success pos is
// just past the closing quote.
bool Unquote(const std::string& s, size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= s.size()) return false;
    char e = s[pos++];
    switch (e) {
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x': {
        if (pos + 2 > s.size()) return false;
        int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        pos += 2;
        break;
      }
      default: out += e;
    }
  }
  return false;
}

struct KeyNode {
  std::string path;  // "ROOT\a\b" as created
  std::vector<std::pair<std::string, std::string>> values;
};

struct RegistryDocument {
  std::vector<KeyNode> keys;  // in creation order

  void Parse(const std::string& data) {
    keys.clear();
    KeyNode* current = nullptr;
    for (const std::string& line : SplitLines(data)) {
      if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        std::string path = line.substr(1, line.size() - 2);
        current = Find(path);
        if (!current) {
          keys.push_back(KeyNode{path, {}});
          current = &keys.back();
        }
        continue;
      }
      if (!current || line.empty()) continue;
      std::string name, value;
      size_t p = 0;
      if (line[0] == '@') {
        p = 1;
      } else if (!Unquote(line, p, name)) {
        continue;  // a damaged line is skipped, the rest still loads
      }
      if (p >= line.size() || line[p] != '=') continue;
      ++p;
      if (!Unquote(line, p, value)) continue;
      SetIn(*current, name, value);
    }
  }

  std::string Serialize() const {
    std::string out = std::string(kHeader) + "\n";
    for (const KeyNode& k : keys) {
      out += "\n[" + k.path + "]\n";
      for (const auto& [name, value] : k.values) {
        out += name.empty() ? std::string("@") : "\"" + Escape(name) + "\"";
        out += "=\"" + Escape(value) + "\"\n";
      }
    }
    return out;
  }

  void Reindex() {}

  KeyNode* Find(const std::string& path) {
    std::string lower = AsciiLower(path);
    for (KeyNode& k : keys) {
      if (AsciiLower(k.path) == lower) return &k;
    }
    return nullptr;
  }
  const KeyNode* Find(const std::string& path) const {
    return const_cast<RegistryDocument*>(this)->Find(path);
  }

  static void SetIn(KeyNode& key, const std::string& name, const std::string& value) {
    for (auto& [n, v] : key.values) {
      if (SameName(n, name)) {
        v = value;
        return;
      }
    }
    key.values.emplace_back(name, value);
  }

  KeyNode& Create(const std::string& root, const std::vector<std::string>& parts) {
    std::string path = root;
    KeyNode* node = nullptr;
    for (const std::string& part : parts) {
      path += "\\" + part;
      node = Find(path);
      if (!node) {
        keys.push_back(KeyNode{path, {}});
        node = &keys.back();
        path = node->path;
      } else {
        path = node->path;  // keep the case the key was created with
      }
    }
    return *node;
  }
};

CachedFileStore<RegistryDocument>& Store() {
  static CachedFileStore<RegistryDocument> store;
  return store;
}

std::string FullPath(RegistryRoot root, const std::vector<std::string>& parts) {
  std::string path = RegistryRootName(root);
  for (const std::string& p : parts) path += "\\" + p;
  return path;
}

}  // namespace

const char* RegistryRootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
  }
  return "HKEY_CURRENT_USER";
}

Registry::Registry() : Registry(JoinPath(GetWindowsDirectory(), "registry.reg")) {}

Registry::Registry(std::string file) : file_(std::move(file)) {}

bool Registry::CreateKey(RegistryRoot root, const std::string& path) const {
  auto parts = SplitPath(path);
  if (parts.empty()) return false;
  if (KeyExists(root, path)) return true;
  return Store().Modify(file_, [&](RegistryDocument& doc) {
    doc.Create(RegistryRootName(root), parts);
    return true;
  });
}

bool Registry::KeyExists(RegistryRoot root, const std::string& path) const {
  auto parts = SplitPath(path);
  if (parts.empty()) return true;  // the roots always exist
  std::string full = FullPath(root, parts);
  return Store().Read(file_, [&](const RegistryDocument& doc) { return doc.Find(full) != nullptr; });
}

std::optional<std::string> Registry::GetValue(RegistryRoot root, const std::string& path,
                                              const std::string& name) const {
  std::string full = FullPath(root, SplitPath(path));
  return Store().Read(file_, [&](const RegistryDocument& doc) -> std::optional<std::string> {
    const KeyNode* key = doc.Find(full);
    if (!key) return std::nullopt;
    for (const auto& [n, v] : key->values) {
      if (SameName(n, name)) return v;
    }
    return std::nullopt;
  });
}

bool Registry::SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                        const std::string& value) const {
  auto parts = SplitPath(path);
  if (parts.empty()) return false;
  return Store().Modify(file_, [&](RegistryDocument& doc) {
    RegistryDocument::SetIn(doc.Create(RegistryRootName(root), parts), name, value);
    return true;
  });
}

bool Registry::DeleteValue(RegistryRoot root, const std::string& path,
                           const std::string& name) const {
  std::string full = FullPath(root, SplitPath(path));
  return Store().Modify(file_, [&](RegistryDocument& doc) {
    KeyNode* key = doc.Find(full);
    if (!key) return false;
    auto it = std::find_if(key->values.begin(), key->values.end(),
                           [&](const auto& v) { return SameName(v.first, name); });
    if (it == key->values.end()) return false;
    key->values.erase(it);
    return true;
  });
}

bool Registry::DeleteKey(RegistryRoot root, const std::string& path) const {
  auto parts = SplitPath(path);
  if (parts.empty()) return false;  // a root cannot be deleted
  std::string lower = AsciiLower(FullPath(root, parts));
  return Store().Modify(file_, [&](RegistryDocument& doc) {
    size_t before = doc.keys.size();
    std::erase_if(doc.keys, [&](const KeyNode& k) {
      std::string p = AsciiLower(k.path);
      return p == lower || p.rfind(lower + "\\", 0) == 0;
    });
    return doc.keys.size() != before;
  });
}

std::vector<std::string> Registry::EnumKeys(RegistryRoot root, const std::string& path) const {
  std::string prefix = AsciiLower(FullPath(root, SplitPath(path))) + "\\";
  return Store().Read(file_, [&](const RegistryDocument& doc) {
    std::vector<std::string> names;
    for (const KeyNode& k : doc.keys) {
      std::string p = AsciiLower(k.path);
      if (p.size() > prefix.size() && p.rfind(prefix, 0) == 0 &&
          p.find('\\', prefix.size()) == std::string::npos) {
        names.push_back(k.path.substr(prefix.size()));
      }
    }
    return names;
  });
}

std::vector<std::pair<std::string, std::string>> Registry::EnumValues(
    RegistryRoot root, const std::string& path) const {
  std::string full = FullPath(root, SplitPath(path));
  return Store().Read(file_, [&](const RegistryDocument& doc) {
    const KeyNode* key = doc.Find(full);
    return key ? key->values : std::vector<std::pair<std::string, std::string>>{};
  });
}

}  // namespace vyr::platform
