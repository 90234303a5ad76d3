#include "platform/net/CredentialStorage.h"

#include "platform/foundation/Environment.h"
#include "platform/foundation/Mutex.h"
#include "platform/foundation/URL.h"
#include "platform/net/StoreFile.h"

namespace platform {

namespace {

platform::Mutex sharedMutex;
CredentialStorage* sharedStorage GUARDED_BY(sharedMutex) = nullptr;

using storefile::escapeField;

}  // namespace

std::string ProtectionSpace::key() const {
  return escapeField(host) + "\t" + std::to_string(port) + "\t" + escapeField(protocol) + "\t" +
         escapeField(realm) + "\t" + escapeField(authenticationMethod) + "\t" + (isProxy ? "1" : "0") + "\t" +
         escapeField(proxyType);
}

CredentialStorage& CredentialStorage::sharedCredentialStorage() {
  platform::MutexLock lock(sharedMutex);
  if (!sharedStorage) sharedStorage = new CredentialStorage(Environment::libraryPath() + "/Credentials.txt");
  return *sharedStorage;
}

void CredentialStorage::destroySharedCredentialStorage() {
  platform::MutexLock lock(sharedMutex);
  delete sharedStorage;
  sharedStorage = nullptr;
}

CredentialStorage::CredentialStorage(std::optional<std::string> filePath) : filePath_(std::move(filePath)) {}

void CredentialStorage::load() {
  if (loaded_ || !filePath_) return;
  std::map<std::string, URLCredential> read;
  auto result = storefile::forEachLine(*filePath_, [&read](const std::string& line) {
    // The space's seven fields, then user and password.
    std::size_t cut = line.size();
    for (int i = 0; i < 2 && cut != std::string::npos; ++i) cut = line.rfind('\t', cut - 1);
    if (cut == std::string::npos || cut == 0) return;
    std::string key = line.substr(0, cut);
    std::string rest = line.substr(cut + 1);
    std::size_t tab = rest.find('\t');
    if (tab == std::string::npos) return;
    read[key] =
        URLCredential{URL::percentDecode(rest.substr(0, tab)), URL::percentDecode(rest.substr(tab + 1)),
                      URLCredential::Persistence::Permanent};
  });
  // Unreadable is not empty: the next use reads again, and nothing is written meanwhile.
  if (result == storefile::ReadResult::Failed) return;
  loaded_ = true;
  // What was set or removed while the file could not be read is newer than the file.
  bool changed = !credentials_.empty() || !removedUnread_.empty();
  for (auto& [key, credential] : read) {
    if (credentials_.count(key) || removedUnread(key, credential)) continue;
    credentials_.emplace(key, std::move(credential));
  }
  removedUnread_.clear();
  // The file still holds what was removed or replaced meanwhile: a login ended then stays ended.
  if (changed) save();
}

bool CredentialStorage::removedUnread(const std::string& key, const URLCredential& fromFile) const {
  auto it = removedUnread_.find(key);
  return it != removedUnread_.end() && (!it->second || it->second->count(fromFile.user));
}

void CredentialStorage::save() {
  if (!filePath_) return;
  // Written only over a file whose credentials are all in memory.
  load();
  if (!loaded_) return;
  std::string text;
  for (const auto& [key, c] : credentials_)
    if (c.persistence == URLCredential::Persistence::Permanent)
      text += key + "\t" + escapeField(c.user) + "\t" + escapeField(c.password) + "\n";
  int error = 0;
  if (storefile::write(*filePath_, text, true, &error))
    saveFailureSaid_.clear();
  else
    storefile::sayFailedSave("the saved logins", error, saveFailureSaid_);
}

std::optional<URLCredential> CredentialStorage::defaultCredentialForProtectionSpace(
    const ProtectionSpace& space) {
  platform::MutexLock lock(mutex_);
  load();
  auto it = credentials_.find(space.key());
  if (it == credentials_.end()) return std::nullopt;
  return it->second;
}

void CredentialStorage::setDefaultCredential(const URLCredential& credential, const ProtectionSpace& space) {
  if (credential.persistence == URLCredential::Persistence::None) return;
  platform::MutexLock lock(mutex_);
  load();
  auto it = credentials_.find(space.key());
  bool wasPermanent =
      it != credentials_.end() && it->second.persistence == URLCredential::Persistence::Permanent;
  credentials_[space.key()] = credential;
  removedUnread_.erase(space.key());
  if (wasPermanent || credential.persistence == URLCredential::Persistence::Permanent) save();
}

void CredentialStorage::removeCredential(const URLCredential& credential, const ProtectionSpace& space) {
  platform::MutexLock lock(mutex_);
  load();
  const std::string key = space.key();
  auto it = credentials_.find(key);
  if (it == credentials_.end()) {
    // The file's credential, unknown until it reads, goes then if it is this one.
    if (!loaded_ && filePath_) {
      auto removed = removedUnread_.try_emplace(key, std::set<std::string>{}).first;
      if (removed->second) removed->second->insert(credential.user);
    }
    return;
  }
  if (it->second.user != credential.user) return;
  bool wasPermanent = it->second.persistence == URLCredential::Persistence::Permanent;
  credentials_.erase(it);
  // Whatever the file holds for the space was replaced by the one just removed.
  if (!loaded_ && filePath_) removedUnread_[key] = std::nullopt;
  if (wasPermanent) save();
}

}  // namespace platform
