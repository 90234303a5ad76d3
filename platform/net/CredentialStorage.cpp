#include "platform/net/CredentialStorage.h"

#include <sys/stat.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Environment.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/URL.h"

namespace platform {

namespace {

std::mutex sharedMutex;
CredentialStorage* sharedStorage = nullptr;

std::string escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ProtectionSpace::key() const {
  return escape(host) + "\t" + std::to_string(port) + "\t" + escape(protocol) + "\t" + escape(realm) + "\t" +
         escape(authenticationMethod) + "\t" + (isProxy ? "1" : "0") + "\t" + escape(proxyType);
}

CredentialStorage& CredentialStorage::sharedCredentialStorage() {
  std::lock_guard lock(sharedMutex);
  if (!sharedStorage) sharedStorage = new CredentialStorage(Environment::libraryPath() + "/Credentials.txt");
  return *sharedStorage;
}

void CredentialStorage::destroySharedCredentialStorage() {
  std::lock_guard lock(sharedMutex);
  delete sharedStorage;
  sharedStorage = nullptr;
}

CredentialStorage::CredentialStorage(std::optional<std::string> filePath) : filePath_(std::move(filePath)) {}

void CredentialStorage::load() {
  if (loaded_) return;
  loaded_ = true;
  if (!filePath_) return;
  auto contents = FileManager::contentsAtPath(*filePath_);
  if (!contents) return;
  std::istringstream in(stringFromData(*contents));
  std::string line;
  while (std::getline(in, line)) {
    // The space's seven fields, then user and password.
    std::size_t cut = line.size();
    for (int i = 0; i < 2 && cut != std::string::npos; ++i) cut = line.rfind('\t', cut - 1);
    if (cut == std::string::npos || cut == 0) continue;
    std::string key = line.substr(0, cut);
    std::string rest = line.substr(cut + 1);
    std::size_t tab = rest.find('\t');
    if (tab == std::string::npos) continue;
    credentials_[key] =
        URLCredential{URL::percentDecode(rest.substr(0, tab)), URL::percentDecode(rest.substr(tab + 1)),
                      URLCredential::Persistence::Permanent};
  }
}

void CredentialStorage::save() {
  if (!filePath_) return;
  std::string text;
  for (const auto& [key, c] : credentials_)
    if (c.persistence == URLCredential::Persistence::Permanent)
      text += key + "\t" + escape(c.user) + "\t" + escape(c.password) + "\n";
  std::string folder = filePath_->substr(0, filePath_->rfind('/'));
  FileManager::createDirectoryAtPath(folder, true);
  // Created owner-only first: the atomic replacement keeps an existing file's permissions.
  if (!FileManager::fileExistsAtPath(*filePath_)) {
    FileManager::createFileAtPath(*filePath_, {});
    ::chmod(filePath_->c_str(), 0600);
  }
  FileManager::createFileAtPath(*filePath_, dataFromString(text));
}

std::optional<URLCredential> CredentialStorage::defaultCredentialForProtectionSpace(
    const ProtectionSpace& space) {
  std::lock_guard lock(mutex_);
  load();
  auto it = credentials_.find(space.key());
  if (it == credentials_.end()) return std::nullopt;
  return it->second;
}

void CredentialStorage::setDefaultCredential(const URLCredential& credential, const ProtectionSpace& space) {
  if (credential.persistence == URLCredential::Persistence::None) return;
  std::lock_guard lock(mutex_);
  load();
  auto it = credentials_.find(space.key());
  bool wasPermanent =
      it != credentials_.end() && it->second.persistence == URLCredential::Persistence::Permanent;
  credentials_[space.key()] = credential;
  if (wasPermanent || credential.persistence == URLCredential::Persistence::Permanent) save();
}

void CredentialStorage::removeCredential(const URLCredential& credential, const ProtectionSpace& space) {
  std::lock_guard lock(mutex_);
  load();
  auto it = credentials_.find(space.key());
  if (it == credentials_.end() || it->second.user != credential.user) return;
  bool wasPermanent = it->second.persistence == URLCredential::Persistence::Permanent;
  credentials_.erase(it);
  if (wasPermanent) save();
}

}  // namespace platform
