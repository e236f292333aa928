// Small readers for the result files, written apart from the writer so that
// a test reads the files the way another program would: a CSV splitter and
// a JSON parser that knows objects, arrays, strings, numbers and null.
#pragma once

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace result_parsers {

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

inline std::vector<std::string> SplitFields(const std::string& line, char separator) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == separator && !quoted) {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

// "-0,012" or "1.310" as thousandths; the decimal mark must be the one given.
inline std::optional<int> Thousandths(const std::string& text, char decimalMark) {
  const size_t mark = text.find(decimalMark);
  if (mark == std::string::npos || text.size() - mark != 4) return std::nullopt;
  const std::string digits = text.substr(0, mark) + text.substr(mark + 1);
  char* end = nullptr;
  const long value = std::strtol(digits.c_str(), &end, 10);
  if (*end != '\0') return std::nullopt;
  return static_cast<int>(value);
}

// One CSV result block: the metadata pairs and the 96 wells (nullopt for an
// empty field). Throws on anything out of shape.
struct CsvPlate {
  std::map<std::string, std::string> metadata;
  std::vector<std::optional<int>> wells;
};

inline CsvPlate ParseCsvPlate(const std::vector<std::string>& lines, char separator,
                              char decimalMark) {
  CsvPlate plate;
  size_t i = 0;
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    const auto fields = SplitFields(lines[i], separator);
    if (fields.size() != 2) throw std::runtime_error("metadata line: " + lines[i]);
    plate.metadata[fields[0]] = fields[1];
  }
  if (i < lines.size()) ++i;  // the blank line
  if (i + 9 > lines.size()) throw std::runtime_error("grid missing");
  const auto header = SplitFields(lines[i++], separator);
  if (header.size() != 13 || !header[0].empty() || header[1] != "1" || header[12] != "12") {
    throw std::runtime_error("grid header: " + lines[i - 1]);
  }
  for (int row = 0; row < 8; ++row, ++i) {
    const auto fields = SplitFields(lines[i], separator);
    if (fields.size() != 13 || fields[0] != std::string(1, static_cast<char>('A' + row))) {
      throw std::runtime_error("grid row: " + lines[i]);
    }
    for (int column = 1; column <= 12; ++column) {
      if (fields[column].empty()) {
        plate.wells.push_back(std::nullopt);
        continue;
      }
      const auto value = Thousandths(fields[column], decimalMark);
      if (!value) throw std::runtime_error("well: " + fields[column]);
      plate.wells.push_back(value);
    }
  }
  return plate;
}

struct Json {
  enum class Kind { Null, Number, String, Array, Object } kind = Kind::Null;
  double number = 0;
  std::string text;
  std::vector<Json> items;
  std::map<std::string, Json> members;

  const Json& operator[](const std::string& key) const {
    const auto it = members.find(key);
    if (kind != Kind::Object || it == members.end()) throw std::runtime_error("no key " + key);
    return it->second;
  }
  bool IsNull() const { return kind == Kind::Null; }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : text_(text) {}

  Json ParseDocument() {
    Json value = ParseValue();
    SkipBlanks();
    if (pos_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error("json: " + what + " at " + std::to_string(pos_));
  }
  void SkipBlanks() {
    while (pos_ < text_.size() && std::string(" \t\r\n").find(text_[pos_]) != std::string::npos) {
      ++pos_;
    }
  }
  void Expect(char c) {
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != c) Fail(std::string("expected ") + c);
    ++pos_;
  }
  bool Peek(char c) {
    SkipBlanks();
    return pos_ < text_.size() && text_[pos_] == c;
  }

  std::string ParseString() {
    Expect('"');
    std::string out;
    while (pos_ < text_.size() && text_[pos_] != '"') {
      char c = text_[pos_++];
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character in string");
      if (c == '\\') {
        if (pos_ >= text_.size()) Fail("escape");
        c = text_[pos_++];
        if (c == 'u') {
          out += static_cast<char>(std::stoi(text_.substr(pos_, 4), nullptr, 16));
          pos_ += 4;
          continue;
        }
        if (c == 'n') c = '\n';
      }
      out += c;
    }
    Expect('"');
    return out;
  }

  Json ParseValue() {
    SkipBlanks();
    Json value;
    if (Peek('{')) {
      Expect('{');
      value.kind = Json::Kind::Object;
      if (Peek('}')) return Expect('}'), value;
      do {
        const std::string key = ParseString();
        Expect(':');
        value.members[key] = ParseValue();
      } while (Peek(',') && (Expect(','), true));
      Expect('}');
    } else if (Peek('[')) {
      Expect('[');
      value.kind = Json::Kind::Array;
      if (Peek(']')) return Expect(']'), value;
      do {
        value.items.push_back(ParseValue());
      } while (Peek(',') && (Expect(','), true));
      Expect(']');
    } else if (Peek('"')) {
      value.kind = Json::Kind::String;
      value.text = ParseString();
    } else if (text_.compare(pos_, 4, "null") == 0) {
      pos_ += 4;
    } else {
      const char* start = text_.c_str() + pos_;
      char* end = nullptr;
      value.number = std::strtod(start, &end);
      if (end == start) Fail("unexpected character");
      value.kind = Json::Kind::Number;
      pos_ += static_cast<size_t>(end - start);
    }
    return value;
  }

  const std::string& text_;
  size_t pos_ = 0;
};

inline Json ParseJson(const std::string& text) {
  return JsonParser(text).ParseDocument();
}

}  // namespace result_parsers
