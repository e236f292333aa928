#include "sila/tls_material.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <memory>
#include <sstream>
#include <system_error>

#include "results/atomic_file.h"

namespace {

constexpr char kCertificateFile[] = "/platovix-sila.crt";
constexpr char kKeyFile[] = "/platovix-sila.key";
// The SiLA 2 standard's object identifier for the server UUID in a certificate.
constexpr char kServerUuidOid[] = "1.3.6.1.4.1.58583";
constexpr long kValidSeconds = 10L * 365 * 24 * 3600;

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
  void operator()(ASN1_OCTET_STRING* p) const { ASN1_OCTET_STRING_free(p); }
  void operator()(ASN1_OBJECT* p) const { ASN1_OBJECT_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

std::string OpenSslError() {
  const unsigned long code = ERR_get_error();
  char text[256] = "OpenSSL failed";
  if (code != 0) ERR_error_string_n(code, text, sizeof text);
  return text;
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return std::string(data, static_cast<size_t>(size));
}

bool AddExtension(X509* certificate, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
  Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

bool AddServerUuid(X509* certificate, const std::string& uuid) {
  Owned<ASN1_OBJECT> oid(OBJ_txt2obj(kServerUuidOid, 1));
  Owned<ASN1_OCTET_STRING> value(ASN1_OCTET_STRING_new());
  if (!oid || !value ||
      ASN1_OCTET_STRING_set(value.get(), reinterpret_cast<const unsigned char*>(uuid.data()),
                            static_cast<int>(uuid.size())) != 1)
    return false;
  Owned<X509_EXTENSION> extension(X509_EXTENSION_create_by_OBJ(nullptr, oid.get(), 0, value.get()));
  return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

bool ReadWholeFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return !text->empty();
}

// The key never exists with wider permissions than 0600, not even briefly.
bool WritePrivateFile(const std::string& path, const std::string& text, std::string* error) {
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0 || fchmod(fd, 0600) != 0) {
    *error = temporary + ": " + std::generic_category().message(errno);
    if (fd >= 0) close(fd);
    return false;
  }
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool synced = fsync(fd) == 0;
  close(fd);
  if (!written || !synced || rename(temporary.c_str(), path.c_str()) != 0) {
    *error = path + ": " + std::generic_category().message(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool CreateSelfSignedMaterial(const std::string& serverUuid, TlsMaterial* material,
                              std::string* error) {
  Owned<EVP_PKEY> key(EVP_EC_gen("P-256"));
  Owned<X509> certificate(X509_new());
  if (!key || !certificate) {
    *error = OpenSslError();
    return false;
  }
  unsigned char serial[16];
  RAND_bytes(serial, sizeof serial);
  serial[0] &= 0x7f;  // a positive serial number
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate.get()));
  BN_free(number);
  X509_set_version(certificate.get(), 2);
  X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -3600);  // a client's clock may lag
  X509_gmtime_adj(X509_getm_notAfter(certificate.get()), kValidSeconds);
  X509_set_pubkey(certificate.get(), key.get());
  X509_NAME* name = X509_get_subject_name(certificate.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("SiLA2"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Platovix"), -1, -1, 0);
  X509_set_issuer_name(certificate.get(), name);
  const std::string altNames =
      "DNS:localhost,DNS:" + HostName() + ",IP:127.0.0.1,IP:0:0:0:0:0:0:0:1";
  const bool extended =
      AddExtension(certificate.get(), NID_basic_constraints, "critical,CA:TRUE") &&
      AddExtension(certificate.get(), NID_key_usage, "critical,digitalSignature,keyCertSign") &&
      AddExtension(certificate.get(), NID_ext_key_usage, "serverAuth") &&
      AddExtension(certificate.get(), NID_subject_alt_name, altNames.c_str()) &&
      AddServerUuid(certificate.get(), serverUuid);
  if (!extended || X509_sign(certificate.get(), key.get(), EVP_sha256()) == 0) {
    *error = OpenSslError();
    return false;
  }
  Owned<BIO> certificateText(BIO_new(BIO_s_mem()));
  Owned<BIO> keyText(BIO_new(BIO_s_mem()));
  if (PEM_write_bio_X509(certificateText.get(), certificate.get()) != 1 ||
      PEM_write_bio_PrivateKey(keyText.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) !=
          1) {
    *error = OpenSslError();
    return false;
  }
  material->certificatePem = BioText(certificateText.get());
  material->keyPem = BioText(keyText.get());
  return true;
}

bool LoadOrCreateTlsMaterial(const std::string& directory, const std::string& serverUuid,
                             TlsMaterial* material, std::string* error) {
  const std::string certificatePath = directory + kCertificateFile;
  const std::string keyPath = directory + kKeyFile;
  if (ReadWholeFile(certificatePath, &material->certificatePem) &&
      ReadWholeFile(keyPath, &material->keyPem))
    return true;
  if (!CreateSelfSignedMaterial(serverUuid, material, error)) return false;
  MakeDirectories(directory);
  return WritePrivateFile(keyPath, material->keyPem, error) &&
         WriteFileAtomically(certificatePath, material->certificatePem, error);
}
