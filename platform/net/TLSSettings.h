#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/ClientIdentity.h"

namespace platform {

// How a stream sets up TLS for an https URL. By default it sends the host name (SNI), checks
// the server's certificate chain against the system's CA store and checks that the certificate
// names the host.
struct TLSSettings {
  bool sendsServerName = true;
  bool usesSystemTrustStore = true;
  bool validatesCertificateChain = true;
  bool validatesHostName = true;
  // Further trusted CA certificates (PEM), e.g. a test's own CA.
  std::vector<std::string> trustedCertificatesPEM;
  // The name to send and check instead of the URL's host.
  std::optional<std::string> peerName;
  std::shared_ptr<const ClientIdentity> clientIdentity;

  // Tells connections with different settings apart.
  std::string key() const;
};

}  // namespace platform
