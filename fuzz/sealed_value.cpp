// Sealed values (the stored login) read back from the store: a damaged or foreign value unseals to
// nothing or to some text, never crashes; what unseals seals again to a value that unseals alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kit/base64/Base64.h"
#include "kit/core/UserCoreInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string_view stored(reinterpret_cast<const char*>(bytes), size);
  auto plain = kavro::decryptStringWith3DES(stored, kavro::UserCoreInfo::CredentialKey);
  if (!plain) return 0;
  auto again = kavro::encryptStringWith3DES(*plain, kavro::UserCoreInfo::CredentialKey);
  if (!again) return 0;
  auto back = kavro::decryptStringWith3DES(*again, kavro::UserCoreInfo::CredentialKey);
  if (!back || *back != *plain) std::abort();
  return 0;
}
