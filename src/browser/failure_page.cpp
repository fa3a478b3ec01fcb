#include "browser/failure_page.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "platform/string_table.h"

namespace vyr {

namespace {

using platform::TextId;

constexpr TextId kNotOpenedTitle{40300};
constexpr TextId kNotOpenedIntro{40301};
constexpr TextId kReasonLabel{40302};
constexpr TextId kTryAgain{40303};
constexpr TextId kCertificateTitle{40304};
constexpr TextId kCertificateIntro{40305};
constexpr TextId kUnknownAuthority{40306};
constexpr TextId kOtherSite{40307};
constexpr TextId kNotYetValid{40308};
constexpr TextId kExpired{40309};
constexpr TextId kRevoked{40310};
constexpr TextId kInsecure{40311};
constexpr TextId kNotChecked{40312};
constexpr TextId kStoppedTitle{40313};
constexpr TextId kCrashed{40314};
constexpr TextId kOutOfMemory{40315};
constexpr TextId kEnded{40316};
constexpr TextId kReload{40317};

// No script, no frames, nothing fetched: only the inline style. Small panes
// (the info box) get a compact layout.
constexpr char kHead[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
    "<meta name=\"viewport\" content=\"width=device-width\">"
    "<style>"
    "body{font:15px/1.45 sans-serif;margin:0;padding:40px 48px;background:#f4f4f1;color:#202020}"
    "h1{font-size:21px;font-weight:600;margin:0 0 14px}"
    "p,ul{margin:0 0 12px;max-width:42em}"
    "code{word-break:break-all;background:#e4e4df;padding:1px 4px}"
    "a{color:#1a56a5}"
    "@media (max-height:220px){body{padding:6px 8px;font-size:12px}h1{font-size:13px;margin:0 0 4px}"
    "p,ul{margin:0 0 4px}}"
    "</style><title>";

std::string Page(const std::string& title, const std::string& body) {
  const std::string heading = EscapeHtml(title);
  return kHead + heading + "</title></head><body><h1>" + heading + "</h1>" + body + "</body></html>";
}

// The table text, escaped, with its "%s" replaced by the escaped value.
std::string Fill(const std::string& text, const std::string& value) {
  std::string out = EscapeHtml(text);
  const size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, EscapeHtml(value));
  return out;
}

std::string AddressLine(const std::string& address) { return "<p><code>" + EscapeHtml(address) + "</code></p>"; }

std::string LinkLine(const std::string& address, const std::string& text) {
  const std::string target = RetryAddress(address);
  if (target.empty()) return {};
  return "<p><a id=\"retry\" href=\"" + EscapeHtml(target) + "\">" + EscapeHtml(text) + "</a></p>";
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string RetryAddress(const std::string& address) {
  const size_t colon = address.find(':');
  if (colon == std::string::npos) return {};
  std::string scheme = address.substr(0, colon);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  if (scheme != "http" && scheme != "https") return {};
  const bool plain = std::none_of(address.begin(), address.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= 0x20 || u == 0x7f;
  });
  return plain ? address : std::string();
}

std::string LoadFailedPage(const std::string& address, const std::string& reason) {
  std::string body = "<p>" + EscapeHtml(kNotOpenedIntro.Text()) + "</p>" + AddressLine(address);
  if (!reason.empty()) body += "<p>" + EscapeHtml(kReasonLabel.Text()) + " " + EscapeHtml(reason) + "</p>";
  return Page(kNotOpenedTitle.Text(), body + LinkLine(address, kTryAgain.Text()));
}

std::string CertificatePage(const std::string& address, const std::string& host, unsigned problems) {
  static const std::pair<unsigned, TextId> kProblems[] = {
      {kCertificateUnknownAuthority, kUnknownAuthority}, {kCertificateOtherSite, kOtherSite},
      {kCertificateNotYetValid, kNotYetValid},           {kCertificateExpired, kExpired},
      {kCertificateRevoked, kRevoked},                   {kCertificateInsecure, kInsecure},
      {kCertificateOtherError, kNotChecked},
  };
  std::string list;
  for (const auto& [flag, text] : kProblems) {
    if (problems & flag) list += "<li>" + Fill(text.Text(), host) + "</li>";
  }
  // The engine refused the certificate without saying why: it was not checked.
  if (list.empty()) list = "<li>" + EscapeHtml(kNotChecked.Text()) + "</li>";
  const std::string body = "<p>" + Fill(kCertificateIntro.Text(), host) + "</p><ul>" + list + "</ul>" +
                           AddressLine(address) + LinkLine(address, kTryAgain.Text());
  return Page(kCertificateTitle.Text(), body);
}

std::string PageStoppedPage(const std::string& address, PageProcessEnd why) {
  const TextId reason = why == PageProcessEnd::Crashed ? kCrashed : why == PageProcessEnd::OutOfMemory ? kOutOfMemory
                                                                                                      : kEnded;
  const std::string body = "<p>" + EscapeHtml(reason.Text()) + "</p>" + AddressLine(address) +
                           LinkLine(address, kReload.Text());
  return Page(kStoppedTitle.Text(), body);
}

}  // namespace vyr
