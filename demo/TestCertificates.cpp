#include "demo/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <memory>
#include <stdexcept>

namespace kavro::test {

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

void check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("test certificate: ") + what);
}

Key newKey() {
  Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  check(key != nullptr, "key generation");
  return key;
}

std::string keyPEM(EVP_PKEY* key) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "key PEM");
  char* p = nullptr;
  long n = BIO_get_mem_data(bio.get(), &p);
  return std::string(p, static_cast<std::size_t>(n));
}

std::string certPEM(X509* cert) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), BIO_free);
  check(PEM_write_bio_X509(bio.get(), cert) == 1, "certificate PEM");
  char* p = nullptr;
  long n = BIO_get_mem_data(bio.get(), &p);
  return std::string(p, static_cast<std::size_t>(n));
}

Key readKey(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                                BIO_free);
  Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
  check(key != nullptr, "reading a key");
  return key;
}

Cert readCert(const std::string& pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())),
                                                BIO_free);
  Cert cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free);
  check(cert != nullptr, "reading a certificate");
  return cert;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  check(ext != nullptr, "extension");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

Cert makeCert(EVP_PKEY* subjectKey, const std::string& cn, X509* issuerCert, EVP_PKEY* issuerKey, bool isCA,
              const std::vector<std::string>& dns, const std::vector<std::string>& ips, bool expired) {
  static long serial = 1000;
  Cert cert(X509_new(), X509_free);
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), ++serial);
  if (expired) {
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60L * 60 * 24 * 30);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), -60L * 60 * 24);
  } else {
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -60L * 60);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 60L * 60 * 24 * 365);
  }
  X509_set_pubkey(cert.get(), subjectKey);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(cn.c_str()), -1,
                             -1, 0);
  X509* issuer = issuerCert ? issuerCert : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer));
  if (isCA) {
    addExtension(cert.get(), issuer, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(cert.get(), issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    addExtension(cert.get(), issuer, NID_basic_constraints, "critical,CA:FALSE");
  }
  addExtension(cert.get(), issuer, NID_subject_key_identifier, "hash");
  std::string san;
  for (const auto& d : dns) san += (san.empty() ? "" : ",") + std::string("DNS:") + d;
  for (const auto& i : ips) san += (san.empty() ? "" : ",") + std::string("IP:") + i;
  if (!san.empty()) addExtension(cert.get(), issuer, NID_subject_alt_name, san);
  check(X509_sign(cert.get(), issuerKey, EVP_sha256()) > 0, "signing");
  return cert;
}

}  // namespace

TestCertificateAuthority::TestCertificateAuthority(const std::string& commonName) {
  Key key = newKey();
  Cert cert = makeCert(key.get(), commonName, nullptr, key.get(), true, {}, {}, false);
  ca_ = {certPEM(cert.get()), keyPEM(key.get())};
}

TestIdentity TestCertificateAuthority::issue(const std::string& commonName,
                                             const std::vector<std::string>& dnsNames,
                                             const std::vector<std::string>& ipAddresses,
                                             bool expired) const {
  Key caKey = readKey(ca_.privateKeyPEM);
  Cert caCert = readCert(ca_.certificatePEM);
  Key key = newKey();
  Cert cert =
      makeCert(key.get(), commonName, caCert.get(), caKey.get(), false, dnsNames, ipAddresses, expired);
  return {certPEM(cert.get()), keyPEM(key.get())};
}

TestIdentity TestCertificateAuthority::selfSigned(const std::string& commonName,
                                                  const std::vector<std::string>& dnsNames,
                                                  const std::vector<std::string>& ipAddresses) {
  Key key = newKey();
  Cert cert = makeCert(key.get(), commonName, nullptr, key.get(), false, dnsNames, ipAddresses, false);
  return {certPEM(cert.get()), keyPEM(key.get())};
}

platform::Data TestCertificateAuthority::pkcs12(const TestIdentity& identity, const std::string& password) {
  Key key = readKey(identity.privateKeyPEM);
  Cert cert = readCert(identity.certificatePEM);
  std::unique_ptr<PKCS12, decltype(&PKCS12_free)> p12(
      PKCS12_create(password.c_str(), "kavro", key.get(), cert.get(), nullptr, 0, 0, 0, 0, 0), PKCS12_free);
  check(p12 != nullptr, "PKCS#12");
  unsigned char* der = nullptr;
  int n = i2d_PKCS12(p12.get(), &der);
  check(n > 0, "PKCS#12 encoding");
  platform::Data out(der, der + n);
  OPENSSL_free(der);
  return out;
}

}  // namespace kavro::test
