#include "platform/net/ClientIdentity.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include "platform/net/NetError.h"

namespace platform {

namespace {

void setError(Error* error, std::string message) {
  unsigned long e = ERR_peek_last_error();
  if (e) {
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    message += ": ";
    message += text;
  }
  ERR_clear_error();
  if (error) *error = makeURLError(URLErrorClientCertificateRejected, std::move(message));
}

}  // namespace

ClientIdentity::~ClientIdentity() {
  EVP_PKEY_free(static_cast<EVP_PKEY*>(key_));
  X509_free(static_cast<X509*>(certificate_));
  sk_X509_pop_free(static_cast<STACK_OF(X509)*>(chain_), X509_free);
}

std::shared_ptr<const ClientIdentity> ClientIdentity::fromPKCS12(const Data& archive,
                                                                 std::string_view password, Error* error) {
  const unsigned char* p = archive.data();
  PKCS12* p12 = d2i_PKCS12(nullptr, &p, static_cast<long>(archive.size()));
  if (!p12) {
    setError(error, "The client identity is not a PKCS#12 archive");
    return nullptr;
  }
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* chain = nullptr;
  std::string pass(password);
  int ok = PKCS12_parse(p12, pass.c_str(), &key, &cert, &chain);
  PKCS12_free(p12);
  if (ok != 1 || !key || !cert) {
    EVP_PKEY_free(key);
    X509_free(cert);
    sk_X509_pop_free(chain, X509_free);
    setError(error, "The client identity cannot be opened (wrong password?)");
    return nullptr;
  }
  std::shared_ptr<ClientIdentity> identity(new ClientIdentity());
  identity->key_ = key;
  identity->certificate_ = cert;
  identity->chain_ = chain;
  return identity;
}

std::shared_ptr<const ClientIdentity> ClientIdentity::fromPEM(std::string_view certificatesPEM,
                                                              std::string_view privateKeyPEM,
                                                              std::string_view password, Error* error) {
  std::string pass(password);
  BIO* keyBio = BIO_new_mem_buf(privateKeyPEM.data(), static_cast<int>(privateKeyPEM.size()));
  EVP_PKEY* key = PEM_read_bio_PrivateKey(keyBio, nullptr, nullptr, pass.empty() ? nullptr : pass.data());
  BIO_free(keyBio);
  if (!key) {
    setError(error, "The client identity's private key cannot be read");
    return nullptr;
  }
  BIO* certBio = BIO_new_mem_buf(certificatesPEM.data(), static_cast<int>(certificatesPEM.size()));
  X509* cert = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr);
  STACK_OF(X509)* chain = sk_X509_new_null();
  while (X509* extra = PEM_read_bio_X509(certBio, nullptr, nullptr, nullptr)) sk_X509_push(chain, extra);
  BIO_free(certBio);
  ERR_clear_error();  // the end of the PEM text
  if (!cert || X509_check_private_key(cert, key) != 1) {
    EVP_PKEY_free(key);
    X509_free(cert);
    sk_X509_pop_free(chain, X509_free);
    setError(error, cert ? "The client certificate does not match its private key"
                         : "The client certificate cannot be read");
    return nullptr;
  }
  std::shared_ptr<ClientIdentity> identity(new ClientIdentity());
  identity->key_ = key;
  identity->certificate_ = cert;
  identity->chain_ = chain;
  return identity;
}

std::string ClientIdentity::commonName() const {
  char cn[256] = {0};
  X509_NAME_get_text_by_NID(X509_get_subject_name(static_cast<X509*>(certificate_)), NID_commonName, cn,
                            sizeof cn);
  return cn;
}

}  // namespace platform
