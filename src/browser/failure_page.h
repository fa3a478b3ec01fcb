#pragma once
// The pages a browser pane shows in place of one the engine could not show:
// a load that failed, a certificate the engine refused, a web process that
// ended. They are the program's own HTML in the user's language; every text
// that comes from outside (the address, the engine's reason, the host) is
// escaped, the page runs no script of its own, and its one link is a plain
// link to the address that failed (only for a web address: a page of no
// origin may not open a local file, and the engine has no ftp).
#include <string>

namespace vyr {

// What was wrong with a refused certificate; any combination.
enum CertificateProblem : unsigned {
  kCertificateUnknownAuthority = 1u << 0,  // signed by no authority this computer trusts
  kCertificateOtherSite = 1u << 1,         // made out for another host
  kCertificateNotYetValid = 1u << 2,
  kCertificateExpired = 1u << 3,
  kCertificateRevoked = 1u << 4,
  kCertificateInsecure = 1u << 5,     // an algorithm that is not safe
  kCertificateOtherError = 1u << 6,   // could not be checked at all
};

// Why the process that showed a page ended.
enum class PageProcessEnd { Crashed, OutOfMemory, Ended };

// & < > " ' as character references.
std::string EscapeHtml(const std::string& text);

// The address a failure page may link back to: an http or https address
// without control characters or blanks; "" for anything else (a javascript:
// or data: address never becomes a link).
std::string RetryAddress(const std::string& address);

// A load that failed: the address, the engine's reason and a link to try
// again.
std::string LoadFailedPage(const std::string& address, const std::string& reason);
// A certificate the engine refused for host: each problem in a line of its
// own; the page was not loaded and no exception is offered.
std::string CertificatePage(const std::string& address, const std::string& host, unsigned problems);
// The process that showed the page at address ended: why, and a link that
// loads the page again.
std::string PageStoppedPage(const std::string& address, PageProcessEnd why);

}  // namespace vyr
