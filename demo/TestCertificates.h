#pragma once
#include <string>
#include <vector>

#include "platform/foundation/Data.h"

namespace kavro::test {

// A certificate with its private key, both PEM.
struct TestIdentity {
  std::string certificatePEM;
  std::string privateKeyPEM;
};

// A certificate authority made in memory for one test (EC P-256 keys), issuing server and client
// certificates, so no key or certificate file lives in the repository.
class TestCertificateAuthority {
 public:
  explicit TestCertificateAuthority(const std::string& commonName = "Kavro Test CA");
  const std::string& certificatePEM() const { return ca_.certificatePEM; }

  // A certificate for the given DNS names and IP addresses (subject alternative names).
  // expired: valid only in the past.
  TestIdentity issue(const std::string& commonName, const std::vector<std::string>& dnsNames,
                     const std::vector<std::string>& ipAddresses = {"127.0.0.1"}, bool expired = false) const;

  // A certificate signed by its own key.
  static TestIdentity selfSigned(const std::string& commonName, const std::vector<std::string>& dnsNames,
                                 const std::vector<std::string>& ipAddresses = {"127.0.0.1"});

  // identity's key and certificate as a PKCS#12 archive under password.
  static platform::Data pkcs12(const TestIdentity& identity, const std::string& password);

 private:
  TestIdentity ca_;
};

}  // namespace kavro::test
