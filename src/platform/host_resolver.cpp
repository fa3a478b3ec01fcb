#include "platform/host_resolver.h"

#include <netdb.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vyr::platform {

namespace {

struct Lookup {
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  bool resolves = false;
};

bool ResolvesNow(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  const bool any = found != nullptr;
  ::freeaddrinfo(found);
  return any;
}

}  // namespace

bool SystemHostResolver::Resolves(const std::string& host, const std::atomic<bool>& stop) {
  // A name with an embedded NUL would be looked up cut short.
  if (host.empty() || host.find('\0') != std::string::npos || stop) return false;
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, host] {
      const bool resolves = ResolvesNow(host);
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->resolves = resolves;
      lookup->done = true;
      lookup->answered.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return false;  // no thread to be had: the name counts as not resolving
  }
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->done) {
    if (stop) return false;
    lookup->answered.wait_for(lock, std::chrono::milliseconds(50));
  }
  return lookup->resolves;
}

}  // namespace vyr::platform
