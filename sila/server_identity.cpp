#include "sila/server_identity.h"

#include "results/atomic_file.h"
#include "settings/ini_file.h"
#include "settings/settings.h"
#include "sila/execution_store.h"

namespace {

constexpr char kFile[] = "/platovix-sila.ini";
constexpr char kSection[] = "Server";

}  // namespace

std::string ServerFilesDirectory() {
  return DirectoryOf(SettingsFilePath());
}

ServerIdentity::ServerIdentity(std::string directory) : directory_(std::move(directory)) {
  IniFile file;
  LoadIniFile(directory_ + kFile, &file);
  uuid_ = file.GetString(kSection, "UUID", "");
  name_ = file.GetString(kSection, "Name", kDefaultServerName);
  if (!LooksLikeUuid(uuid_)) {
    uuid_ = NewUuid();
    std::string error;
    Save(&error);  // a read-only folder still serves, under a new UUID each start
  }
}

std::string ServerIdentity::uuid() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return uuid_;
}

std::string ServerIdentity::name() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return name_;
}

bool ServerIdentity::SetName(const std::string& name, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  name_ = name;
  return Save(error);
}

bool ServerIdentity::Save(std::string* error) const {
  IniFile file;
  LoadIniFile(directory_ + kFile, &file);  // keeps whatever else the file holds
  file.SetString(kSection, "UUID", uuid_);
  file.SetString(kSection, "Name", name_);
  MakeDirectories(directory_);
  return WriteFileAtomically(directory_ + kFile, file.Text(), error);
}
