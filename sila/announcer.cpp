#include "sila/announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>
#include <avahi-common/thread-watch.h>

#include <sstream>

namespace {

constexpr char kServiceType[] = "_sila._tcp";
constexpr size_t kMaximalTxtRecord = 255;

}  // namespace

std::vector<std::string> AnnounceTxtRecords(const AnnounceInfo& info) {
  const auto cut = [](std::string record) {
    if (record.size() > kMaximalTxtRecord) record.resize(kMaximalTxtRecord);
    return record;
  };
  std::vector<std::string> records = {cut("version=" + info.version),
                                      cut("server_name=" + info.serverName),
                                      cut("description=" + info.description)};
  std::istringstream lines(info.certificatePem);
  std::string line;
  for (int i = 0; std::getline(lines, line);) {
    if (!line.empty()) records.push_back("ca" + std::to_string(i++) + "=" + line);
  }
  return records;
}

struct Announcer::State {
  AnnounceInfo info;
  std::ostream* err = nullptr;
  AvahiThreadedPoll* poll = nullptr;
  AvahiEntryGroup* group = nullptr;
};

namespace {

void Register(AvahiClient* client, Announcer::State* state);

void OnGroup(AvahiEntryGroup*, AvahiEntryGroupState groupState, void* userdata) {
  auto* state = static_cast<Announcer::State*>(userdata);
  if (groupState == AVAHI_ENTRY_GROUP_COLLISION || groupState == AVAHI_ENTRY_GROUP_FAILURE) {
    *state->err << "platovix-sila: the mDNS announcement failed; discovery is off\n" << std::flush;
  }
}

void OnClient(AvahiClient* client, AvahiClientState clientState, void* userdata) {
  auto* state = static_cast<Announcer::State*>(userdata);
  if (clientState == AVAHI_CLIENT_S_RUNNING) Register(client, state);
  if (clientState == AVAHI_CLIENT_S_COLLISION || clientState == AVAHI_CLIENT_S_REGISTERING) {
    if (state->group != nullptr) avahi_entry_group_reset(state->group);
  }
}

void Register(AvahiClient* client, Announcer::State* state) {
  if (state->group == nullptr) state->group = avahi_entry_group_new(client, OnGroup, state);
  if (state->group == nullptr || !avahi_entry_group_is_empty(state->group)) return;
  AvahiStringList* txt = nullptr;
  for (const std::string& record : AnnounceTxtRecords(state->info))
    txt = avahi_string_list_add(txt, record.c_str());
  const int result = avahi_entry_group_add_service_strlst(
      state->group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
      state->info.instance.c_str(), kServiceType, nullptr, nullptr,
      static_cast<uint16_t>(state->info.port), txt);
  avahi_string_list_free(txt);
  if (result < 0 || avahi_entry_group_commit(state->group) < 0) {
    *state->err << "platovix-sila: cannot announce on mDNS (" << avahi_strerror(result)
                << "); discovery is off\n"
                << std::flush;
  }
}

}  // namespace

Announcer::Announcer(const AnnounceInfo& info, std::ostream& err) : state_(new State) {
  state_->info = info;
  state_->err = &err;
  state_->poll = avahi_threaded_poll_new();
  if (state_->poll == nullptr) {
    err << "platovix-sila: cannot start the mDNS announcement; discovery is off\n";
    return;
  }
  int error = 0;
  AvahiClient* client = avahi_client_new(avahi_threaded_poll_get(state_->poll), AvahiClientFlags(0),
                                         OnClient, state_, &error);
  if (client == nullptr) {
    err << "platovix-sila: no mDNS announcement (Avahi: " << avahi_strerror(error)
        << "); clients must be given the address\n"
        << std::flush;
    return;
  }
  client_ = client;
  avahi_threaded_poll_start(state_->poll);
}

Announcer::~Announcer() {
  if (state_->poll != nullptr) avahi_threaded_poll_stop(state_->poll);
  // Freeing the client withdraws the service and frees its group.
  if (client_ != nullptr) avahi_client_free(static_cast<AvahiClient*>(client_));
  if (state_->poll != nullptr) avahi_threaded_poll_free(state_->poll);
  delete state_;
}
