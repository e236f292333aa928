// Who the server is, kept beside the settings file in platovix-sila.ini so
// that a scheduler finds the same server (UUID, name) after a restart.
#pragma once

#include <mutex>
#include <string>

class ServerIdentity {
 public:
  // Reads dir/platovix-sila.ini; a missing UUID is made and stored at once.
  explicit ServerIdentity(std::string directory);

  std::string uuid() const;
  std::string name() const;
  // Stores the new name; false with the reason when the file cannot be written
  // (the name is taken for this run all the same).
  bool SetName(const std::string& name, std::string* error);

  const std::string& directory() const { return directory_; }

 private:
  bool Save(std::string* error) const;

  std::string directory_;
  mutable std::mutex mutex_;
  std::string uuid_;
  std::string name_;
};

// The folder of the settings file, where the server keeps its files.
std::string ServerFilesDirectory();

inline constexpr char kDefaultServerName[] = "Platovix plate reader";
