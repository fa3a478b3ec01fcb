#pragma once
// A private certificate authority and a server certificate it signed, made
// with the openssl program for tests of secured connections.
#include <string>

namespace vyr::test {

struct TestCertificates {
  std::string caPem, certPem, keyPem;  // the authority's certificate; the server's certificate and key
};

// Writes the files into `dir`; the server certificate names exactly
// `altNames` (a subjectAltName value: "DNS:localhost"). False with a reason.
bool MakeTestCertificates(const std::string& dir, const std::string& altNames, TestCertificates& out,
                          std::string* error);

}  // namespace vyr::test
