#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"

namespace platform {

// A private key with its certificate (and any chain certificates) that a stream presents when
// the server asks for a client certificate. Immutable; shared between streams.
class ClientIdentity {
 public:
  // A PKCS#12 archive. nullptr (and *error set) when it cannot be opened with password.
  static std::shared_ptr<const ClientIdentity> fromPKCS12(const Data& archive, std::string_view password,
                                                          Error* error = nullptr);
  // PEM text: the certificate first, then chain certificates; the private key, optionally
  // encrypted with password.
  static std::shared_ptr<const ClientIdentity> fromPEM(std::string_view certificatesPEM,
                                                       std::string_view privateKeyPEM,
                                                       std::string_view password = "",
                                                       Error* error = nullptr);
  ~ClientIdentity();
  ClientIdentity(const ClientIdentity&) = delete;
  ClientIdentity& operator=(const ClientIdentity&) = delete;

  // The subject's common name of the certificate.
  std::string commonName() const;

  // OpenSSL objects (EVP_PKEY*, X509*, STACK_OF(X509)*), owned by the identity.
  void* privateKey() const { return key_; }
  void* certificate() const { return certificate_; }
  void* chain() const { return chain_; }

 private:
  ClientIdentity() = default;
  void* key_ = nullptr;
  void* certificate_ = nullptr;
  void* chain_ = nullptr;
};

}  // namespace platform
