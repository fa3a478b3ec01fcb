#pragma once
// Host-name resolution for logic that only needs to know whether a name
// resolves (enhanced browsing's ".com" step). Behind an interface so that
// tests script the answers instead of asking the network.
#include <atomic>
#include <string>

namespace vyr::platform {

class HostResolver {
 public:
  virtual ~HostResolver() = default;
  // True when `host` resolves to at least one address. Returns false early
  // once `stop` is set.
  virtual bool Resolves(const std::string& host, const std::atomic<bool>& stop) = 0;
};

// The system's resolver (getaddrinfo). The look-up itself cannot be
// interrupted, so it runs on a helper thread of its own; the caller waits in
// short steps and leaves as soon as `stop` is set, and the helper finishes
// (and frees what it holds) by itself whenever the system answers.
class SystemHostResolver : public HostResolver {
 public:
  bool Resolves(const std::string& host, const std::atomic<bool>& stop) override;
};

}  // namespace vyr::platform
