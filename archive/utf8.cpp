#include "archive/utf8.h"

namespace archive {

namespace {

// The length of the well-formed sequence at text[i], 0 when there is none
// (overlong forms, surrogates and code points past U+10FFFF included).
size_t SequenceLength(std::string_view text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

void Repair(std::string* text) {
  if (!ValidUtf8(*text)) *text = RepairedUtf8(*text);
}

}  // namespace

bool ValidUtf8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string RepairedUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = SequenceLength(text, i);
    if (length == 0) {
      repaired += "\xEF\xBF\xBD";
      ++i;
    } else {
      repaired.append(text.substr(i, length));
      i += length;
    }
  }
  return repaired;
}

PlateRead WithValidText(PlateRead read) {
  for (std::string* field : {&read.uuid, &read.plateId, &read.operatorName, &read.host,
                             &read.readerFamily, &read.readerId, &read.readerDevice, &read.started,
                             &read.completed, &read.programVersion, &read.message, &read.assayName,
                             &read.assayJson, &read.analysisJson, &read.verdict, &read.trace}) {
    Repair(field);
  }
  return read;
}

AuditEntry WithValidText(AuditEntry entry) {
  for (std::string* field : {&entry.uuid, &entry.readUuid, &entry.who, &entry.when, &entry.what,
                             &entry.why, &entry.detail}) {
    Repair(field);
  }
  return entry;
}

}  // namespace archive
