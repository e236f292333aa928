#include "sila/sila_main.h"

#include <signal.h>

#include <iostream>
#include <memory>

#include "archive/archive_url.h"
#include "driver/reader_line.h"
#include "sila/announcer.h"
#include "sila/sila_archive.h"
#include "sila/sila_options.h"
#include "sila/sila_server.h"
#include "sila/tls_material.h"

namespace {

constexpr char kProgram[] = "platovix-sila: ";

// Blocked in every thread (gRPC's and Avahi's are started later and inherit
// the mask); the main thread takes them with sigwait.
sigset_t StopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  return signals;
}

}  // namespace

int SilaMain(int argc, char** argv) {
  const sigset_t stopSignals = StopSignals();
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const SilaParse parse =
      ParseSilaArguments(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  if (!parse.ok) {
    std::cerr << kProgram << parse.error << '\n';
    return 64;
  }
  if (parse.options.help) {
    std::cout << SilaHelpText();
    return 0;
  }
  if (parse.options.version) {
    std::cout << SilaVersionText();
    return 0;
  }
  std::string error;
  const std::string device = ResolveReaderDevice(parse.options.reader, &error);
  if (device.empty()) {
    std::cerr << kProgram << error << '\n';
    return 64;
  }

  ServerIdentity identity(ServerFilesDirectory());
  SilaServerConfig config;
  config.listen = parse.options.listen;
  config.insecure = parse.options.insecure;
  // The settings file is loaded by now (ResolveReaderDevice).
  config.archive = SilaArchiveConfig(parse.options.archiveUrl, parse.options.noArchive);
  // Refused before any client can start a read that would have nowhere to go.
  if (config.archive &&
      archive::KindOfArchive(config.archive->localPath, &error) == archive::ArchiveKind::Invalid) {
    std::cerr << kProgram << error << '\n';
    return 64;
  }
  if (config.insecure) {
    std::cerr << kProgram
              << "serving plain text (--insecure): anyone on the network can read and "
                 "drive the reader\n";
  } else {
    TlsMaterial tls;
    if (!LoadOrCreateTlsMaterial(identity.directory(), identity.uuid(), &tls, &error)) {
      std::cerr << kProgram << "no TLS certificate: " << error << '\n';
      return 1;
    }
    config.certificatePem = tls.certificatePem;
    config.keyPem = tls.keyPem;
  }

  SilaServer server(device, config, identity);
  if (!server.Start(&error)) {
    std::cerr << kProgram << error << '\n';
    return 1;
  }
  std::cerr << kProgram << "serving the reader on " << device << " at port " << server.port()
            << (config.insecure ? " (plain text)" : " (TLS)") << ", server UUID " << identity.uuid()
            << '\n';

  AnnounceInfo info;
  info.instance = identity.uuid();
  info.port = server.port();
  info.version = kServerVersion;
  info.serverName = identity.name();
  info.description = kServerDescription;
  info.certificatePem = config.certificatePem;
  auto announcer = std::make_unique<Announcer>(info, std::cerr);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  announcer.reset();
  server.Stop();
  return 0;
}
