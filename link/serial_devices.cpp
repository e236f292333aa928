#include "link/serial_devices.h"

#include <libserialport.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace fs = std::filesystem;

namespace {

constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;

std::string Text(const char* text) {
  return text != nullptr ? text : "";
}

// The node a name leads to, links followed; the name itself when it leads
// nowhere.
std::string Resolved(const std::string& path) {
  std::error_code error;
  const fs::path target = fs::canonical(path, error);
  return error ? path : target.string();
}

// "ttyUSB10" after "ttyUSB2": the trailing number compares as a number.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
    const std::string number = name.substr(digits);
    return std::make_pair(name.substr(0, digits),
                          number.empty() ? -1L : std::stol(number.substr(0, 9)));
  };
  return split(a) < split(b);
}

bool HasDigitsAfter(const std::string& name, const std::string& prefix) {
  return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
         std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::vector<std::string> SortedNames(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  return names;
}

std::string Describe(const PortFacts& facts) {
  if (!facts.usb) {
    // For a built-in port the library's description is only its name again.
    const bool onlyTheName = facts.description.empty() ||
                             facts.description == fs::path(facts.device).filename().string();
    return onlyTheName ? "serial port" : facts.description;
  }
  std::string text = facts.manufacturer;
  if (!facts.product.empty()) text += (text.empty() ? "" : " ") + facts.product;
  if (text.empty()) text = facts.description.empty() ? "USB serial device" : facts.description;
  if (!facts.serial.empty()) text += ", serial " + facts.serial;
  return text;
}

class DeviceList {
 public:
  explicit DeviceList(const std::vector<PortFacts>& facts) : facts_(facts) {}

  // Adds the device unless its node is listed already.
  void Add(const std::string& path, const std::string& fallbackDescription) {
    const std::string node = Resolved(path);
    if (IsPseudoTerminalPath(node) || !listed_.insert(node).second) return;
    const PortFacts* facts = FactsFor(node);
    SerialDevice device;
    device.path = path;
    device.device = node;
    device.description = facts != nullptr ? Describe(*facts) : fallbackDescription;
    device.accessible = access(node.c_str(), R_OK | W_OK) == 0;
    devices_.push_back(device);
  }

  const PortFacts* FactsFor(const std::string& node) const {
    for (const PortFacts& facts : facts_) {
      if (facts.device == node || Resolved(facts.device) == node) return &facts;
    }
    return nullptr;
  }

  std::vector<SerialDevice> Take() { return std::move(devices_); }

 private:
  const std::vector<PortFacts>& facts_;
  std::set<std::string> listed_;
  std::vector<SerialDevice> devices_;
};

}  // namespace

bool IsPseudoTerminalPath(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned major = ::major(info.st_rdev);
  return major >= kFirstPtySlaveMajor && major <= kLastPtySlaveMajor;
}

std::vector<PortFacts> SystemPortFacts() {
  std::vector<PortFacts> all;
  sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK || ports == nullptr) return all;
  for (sp_port** port = ports; *port != nullptr; ++port) {
    PortFacts facts;
    facts.device = Text(sp_get_port_name(*port));
    facts.description = Text(sp_get_port_description(*port));
    facts.usb = sp_get_port_transport(*port) == SP_TRANSPORT_USB;
    if (facts.usb) {
      facts.manufacturer = Text(sp_get_port_usb_manufacturer(*port));
      facts.product = Text(sp_get_port_usb_product(*port));
      facts.serial = Text(sp_get_port_usb_serial(*port));
    }
    if (!facts.device.empty()) all.push_back(facts);
  }
  sp_free_port_list(ports);
  return all;
}

std::vector<SerialDevice> ListSerialDevices(const DeviceDirectories& directories,
                                            const std::vector<PortFacts>& facts) {
  DeviceList list(facts);
  for (const std::string& name : SortedNames(directories.byId)) {
    const std::string link = directories.byId + "/" + name;
    std::error_code error;
    if (fs::exists(link, error)) list.Add(link, "USB serial device");
  }
  for (const std::string& name : SortedNames(directories.dev)) {
    if (HasDigitsAfter(name, "ttyUSB") || HasDigitsAfter(name, "ttyACM")) {
      list.Add(directories.dev + "/" + name, "USB serial device");
    }
  }
  // A ttyS node exists for every slot the kernel reserves; only the serial
  // library's listing tells the ones with a UART behind them.
  for (const std::string& name : SortedNames(directories.dev)) {
    const std::string path = directories.dev + "/" + name;
    if (HasDigitsAfter(name, "ttyS") && list.FactsFor(Resolved(path)) != nullptr) {
      list.Add(path, "serial port");
    }
  }
  for (const PortFacts& other : facts) list.Add(other.device, "serial port");
  return list.Take();
}

std::vector<SerialDevice> ListSerialDevices() {
  return ListSerialDevices(DeviceDirectories{}, SystemPortFacts());
}

std::string DeviceSummary(const std::string& path) {
  std::error_code error;
  if (!fs::exists(path, error)) return path + " (not present)";
  const std::string node = Resolved(path);
  return node == path ? path : path + " (" + node + ")";
}
