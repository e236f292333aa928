#include "cli/ports_command.h"

#include <filesystem>
#include <nlohmann/json.hpp>

#include "link/port_setup.h"
#include "results/shared_state.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 4;

std::string ComName(int n) {
  return "COM" + std::to_string(n);
}

// Where COMn leads: the node behind its path, links followed.
std::string NodeOf(const std::string& path) {
  std::error_code error;
  const fs::path node = fs::canonical(path, error);
  return error ? path : node.string();
}

std::vector<std::string> PortsLeadingTo(const std::string& node) {
  std::vector<std::string> names;
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    if (NodeOf(PortDevicePath(n)) == node) names.push_back(ComName(n));
  }
  return names;
}

bool Listed(const std::vector<SerialDevice>& devices, const std::string& node) {
  for (const SerialDevice& device : devices) {
    if (device.device == node) return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// A COMn set in the settings file to a device the list does not hold: a
// pseudo-terminal, or an adapter that is not plugged in.
std::string UnlistedState(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error) ? "present, not a listed serial device" : "not present";
}

std::string Lines(const std::vector<SerialDevice>& devices) {
  std::string text;
  for (const SerialDevice& device : devices) {
    std::string description = device.description;
    if (device.device != device.path) description += " (" + device.device + ")";
    if (!device.accessible) description += ", no access";
    text += device.path + "\t" + description + "\t" + Joined(PortsLeadingTo(device.device)) + "\n";
  }
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string& mapped = PortMap.szDevice[n];
    if (mapped.empty() || Listed(devices, NodeOf(mapped))) continue;
    text += mapped + "\t" + UnlistedState(mapped) + "\t" + ComName(n) + "\n";
  }
  return text;
}

std::string Json(const std::vector<SerialDevice>& devices) {
  nlohmann::ordered_json root;
  root["devices"] = nlohmann::ordered_json::array();
  for (const SerialDevice& device : devices) {
    root["devices"].push_back({{"path", device.path},
                               {"device", device.device},
                               {"description", device.description},
                               {"accessible", device.accessible},
                               {"ports", PortsLeadingTo(device.device)}});
  }
  nlohmann::ordered_json ports = nlohmann::ordered_json::object();
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string path = PortDevicePath(n);
    std::error_code error;
    ports[ComName(n)] = {{"path", path},
                         {"listed", Listed(devices, NodeOf(path))},
                         {"present", fs::exists(path, error)}};
  }
  root["ports"] = ports;
  const int selected = AppSettings.nComPort;
  root["selected"] = selected >= kFirstPort && selected <= kLastPort
                         ? nlohmann::ordered_json(ComName(selected))
                         : nlohmann::ordered_json(nullptr);
  // Device descriptions come from the hardware: never fail on bad UTF-8.
  return root.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

std::string PortsText(const std::vector<SerialDevice>& devices, bool json) {
  return json ? Json(devices) : Lines(devices);
}

int RunPortsCommand(bool json, const CliIo& io) {
  io.out << PortsText(ListSerialDevices(), json) << std::flush;
  return kExitSuccess;
}
