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
  const std::string q = " >/dev/null 2>&1";
  const std::string commands[] = {
      "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Test CA' -keyout '" + dir +
          "/ca.key' -out '" + out.caPem + "'" + q,
      "/usr/bin/openssl req -newkey rsa:2048 -nodes -subj '/CN=Test Server' -keyout '" + out.keyPem +
          "' -out '" + dir + "/server.csr'" + q,
      "/usr/bin/openssl x509 -req -days 2 -in '" + dir + "/server.csr' -CA '" + out.caPem + "' -CAkey '" +
          dir + "/ca.key' -CAcreateserial -extfile '" + dir + "/ext.cnf' -out '" + out.certPem + "'" + q,
  };
  for (const std::string& command : commands) {
    if (std::system(command.c_str()) != 0) {
      *error = "openssl failed: " + command;
      return false;
    }
  }
  return true;
}

}  // namespace vyr::test
