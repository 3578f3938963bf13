// A P-256 key and a self-signed certificate made in the test process, for the
// TLS test server. Subject CN and subject alternative names are "localhost"
// and 127.0.0.1; valid from an hour ago for a day, so a client that verifies
// against CertificatePem() succeeds.
#ifndef ZELVORA_TESTS_SUPPORT_TESTCERTIFICATE_H
#define ZELVORA_TESTS_SUPPORT_TESTCERTIFICATE_H

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <string>

class CTestCertificate {
 public:
  CTestCertificate();
  ~CTestCertificate();
  CTestCertificate(const CTestCertificate&) = delete;
  CTestCertificate& operator=(const CTestCertificate&) = delete;

  // 1 when key and certificate were made.
  int IsValid() const { return m_Key && m_Certificate ? 1 : 0; }
  EVP_PKEY* Key() const { return m_Key; }
  X509* Certificate() const { return m_Certificate; }
  std::string CertificatePem() const;

 private:
  EVP_PKEY* m_Key = nullptr;
  X509* m_Certificate = nullptr;
};

#endif
