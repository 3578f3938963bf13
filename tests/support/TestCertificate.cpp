#include "support/TestCertificate.h"

#include <openssl/bio.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

int AddExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (!extension) return 0;
  int added = X509_add_ext(certificate, extension, -1);
  X509_EXTENSION_free(extension);
  return added == 1 ? 1 : 0;
}

X509* MakeSelfSigned(EVP_PKEY* key) {
  X509* certificate = X509_new();
  if (!certificate) return nullptr;
  X509_NAME* name = X509_get_subject_name(certificate);
  const unsigned char kCommonName[] = "localhost";
  int built = X509_set_version(certificate, 2) == 1 &&
              ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1) == 1 &&
              X509_gmtime_adj(X509_getm_notBefore(certificate), -3600) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(certificate), 86400) != nullptr &&
              X509_set_pubkey(certificate, key) == 1 &&
              X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, kCommonName, -1, -1, 0) == 1 &&
              X509_set_issuer_name(certificate, name) == 1 &&
              AddExtension(certificate, NID_basic_constraints, "critical,CA:TRUE") &&
              AddExtension(certificate, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1") &&
              X509_sign(certificate, key, EVP_sha256()) > 0;
  if (!built) {
    X509_free(certificate);
    return nullptr;
  }
  return certificate;
}

}  // namespace

CTestCertificate::CTestCertificate() {
  m_Key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
  if (m_Key) m_Certificate = MakeSelfSigned(m_Key);
}

CTestCertificate::~CTestCertificate() {
  X509_free(m_Certificate);
  EVP_PKEY_free(m_Key);
}

std::string CTestCertificate::CertificatePem() const {
  if (!m_Certificate) return std::string();
  BIO* memory = BIO_new(BIO_s_mem());
  if (!memory) return std::string();
  std::string pem;
  if (PEM_write_bio_X509(memory, m_Certificate) == 1) {
    char* data = nullptr;
    long length = BIO_get_mem_data(memory, &data);
    if (length > 0) pem.assign(data, static_cast<size_t>(length));
  }
  BIO_free(memory);
  return pem;
}
