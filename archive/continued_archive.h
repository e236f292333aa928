// A damaged archive and the file its reads continue in, read as one: the
// continuation's reads with those the damaged files still give, each read
// once. Writing and the lab's forwarding go to the continuation only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive/chained_archive.h"

namespace archive {

class ContinuedArchive : public ChainedArchive {
 public:
  struct Earlier {
    std::string path;
    std::unique_ptr<ChainedArchive> archive;  // null when nothing of it can be read
  };
  ContinuedArchive(std::unique_ptr<ChainedArchive> current, std::vector<Earlier> earlier);

  bool FindReads(const ReadQuery& query, std::vector<PlateRead>* reads,
                 std::string* error) override;
  bool ListReads(const ReadQuery& query, bool withContent, std::vector<ReadSummary>* reads,
                 std::string* error) override;
  bool EachRead(const ReadQuery& query, bool withContent,
                const std::function<void(const ReadSummary&)>& each, std::string* error) override;
  bool GetRead(const std::string& uuid, PlateRead* read, std::string* error) override;
  bool GetRun(const std::string& uuid, RunRecord* run, std::string* error) override;
  bool AuditTrail(const std::string& readUuid, std::vector<AuditEntry>* entries,
                  std::string* error) override;
  // The continuation's chain, then each damaged file's own check: fails
  // while a damaged file is kept, naming it.
  VerifyReport Verify() override;

 private:
  std::vector<Earlier> earlier_;
};

}  // namespace archive
