#pragma once
// A private certificate authority and a server certificate it signed, made
// with the openssl program for tests of secured connections.
#include <string>

namespace vyr::test {

struct TestCertificates {
  std::string caPem;    // the authority's certificate (to be trusted)
  std::string certPem;  // the server's certificate
  std::string keyPem;   // the server's key
};

// Writes the files into `dir`; the server certificate names exactly
// `altNames` (an openssl subjectAltName value, "DNS:localhost"). False with
// a reason naming the missing package when openssl is absent.
bool MakeTestCertificates(const std::string& dir, const std::string& altNames, TestCertificates& out,
                          std::string* error);

}  // namespace vyr::test
