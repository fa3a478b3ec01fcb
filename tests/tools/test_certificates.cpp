#include "tools/test_certificates.h"

#include <unistd.h>

#include <cstdlib>

#include "tools/test_support.h"

namespace vyr::test {

bool MakeTestCertificates(const std::string& dir, const std::string& altNames, TestCertificates& out,
                          std::string* error) {
  if (::access("/usr/bin/openssl", X_OK) != 0) {
    *error = "the openssl program is missing: install the Debian package openssl";
    return false;
  }
  out.caPem = dir + "/ca.pem";
  out.certPem = dir + "/server.pem";
  out.keyPem = dir + "/server.key";
  WriteFile(dir + "/ext.cnf", "subjectAltName=" + altNames + "\n");
  for (const char* command : {
           "req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Test CA' -keyout ca.key -out ca.pem",
           "req -newkey rsa:2048 -nodes -subj '/CN=Test Server' -keyout server.key -out server.csr",
           "x509 -req -days 2 -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -extfile ext.cnf -out server.pem"}) {
    if (std::system(("cd '" + dir + "' && /usr/bin/openssl " + command + " >/dev/null 2>&1").c_str()) != 0) {
      *error = std::string("openssl failed: ") + command;
      return false;
    }
  }
  return true;
}

}  // namespace vyr::test
