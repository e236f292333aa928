// Where the desktop program keeps reads ([Archive] Url= and Enabled=), the
// record of the read it stored last, and later changes to a stored read as
// audit entries. When the archive cannot take an entry, one warning box
// says where it waits.
#pragma once

#include <string>

#include "archive/archive_store.h"

// The settings' archive: a postgresql:// URL for the lab's, else a SQLite
// file (empty: the default one). A refused setting (neither) keeps the reads
// in this computer's default archive, as while a lab server is down.
archive::StoreConfig DesktopStoreConfig();
bool DesktopArchiveEnabled();
// Why the settings' archive is refused; empty when it is not (or archiving is off).
std::string DesktopArchiveRefusal();

// What a report of a stored read prints about its record.
struct ArchivedRecord {
  std::string uuid;
  std::string hash;  // archive::ContentHash of the stored content
  std::string plateId;
  std::string operatorName;
};

// The record of the last read stored; empty (no uuid) after a read that
// was not, or before any.
const ArchivedRecord& LastArchivedRecord();
void SetLastArchivedRecord(const ArchivedRecord& record);
// A plate ID taken later for the read with this uuid, when it is the last one.
void NoteLastArchivedPlateId(const std::string& uuid, const std::string& plateId);

// The warning and messages of an outcome in one box owned by owner (none
// for a null owner or nothing to say).
void ShowStoreOutcome(void* owner, const archive::StoreOutcome& outcome);

// Sends the stored entries on to the lab archive, when the settings name
// one, on a thread of its own: the window never waits on the lab server.
// When the lab cannot take them, owner (or the active window) says so later.
void ForwardToLabLater(void* owner);
// No forward asked for or running.
bool LabForwardingIdle();

// Stores an audit entry on readUuid by the login name, now; warns as above.
// False when it is in neither the archive nor the spool: the caller then
// does not make the change, and the box says so.
bool StoreDesktopAudit(void* owner, const std::string& readUuid, const std::string& what,
                       const std::string& why, const std::string& detail);
