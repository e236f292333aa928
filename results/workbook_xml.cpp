#include "results/workbook_xml.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <charconv>
#include <cstdlib>
#include <stdexcept>

namespace workbook_xml {
namespace {

[[noreturn]] void Fail(const std::string& reason) {
  throw std::runtime_error(reason);
}

// SpreadsheetML as Excel writes it and in its strict form.
constexpr const char* kMainNamespaces[] = {
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main",
    "http://purl.oclc.org/ooxml/spreadsheetml/main"};

// One XML text, node by node. Neither the network nor a DTD is ever read,
// and entities declared in one are not expanded.
class Reader {
 public:
  Reader(const std::string& xml, std::string what) : what_(std::move(what)) {
    xmlInitParser();
    reader_ = xmlReaderForMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
                                 XML_PARSE_NONET);
    if (reader_ == nullptr) Fail(what_ + " cannot be read");
    xmlTextReaderSetErrorHandler(reader_, &Reader::Error, this);
  }
  ~Reader() { xmlFreeTextReader(reader_); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Steps to the next node; false after the last.
  bool Next() {
    const int got = xmlTextReaderRead(reader_);
    if (got < 0 || !error_.empty()) {
      Fail(what_ + " is not well-formed XML" + (error_.empty() ? "" : " (" + error_ + ")"));
    }
    return got == 1;
  }

  int Depth() const { return xmlTextReaderDepth(reader_); }
  bool IsEmpty() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }

  // Whether the node is the start (or end) of the spreadsheet element local.
  bool Opens(const char* local) const { return Is(XML_READER_TYPE_ELEMENT, local); }
  bool Closes(const char* local) const { return Is(XML_READER_TYPE_END_ELEMENT, local); }

  bool IsText() const {
    switch (xmlTextReaderNodeType(reader_)) {
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
      case XML_READER_TYPE_WHITESPACE:
      case XML_READER_TYPE_SIGNIFICANT_WHITESPACE:
        return true;
      default:
        return false;
    }
  }
  std::string Value() const {
    const xmlChar* value = xmlTextReaderConstValue(reader_);
    return value != nullptr ? reinterpret_cast<const char*>(value) : "";
  }

  // The unprefixed attribute's value, entities resolved; empty when missing.
  std::string Attribute(const char* name) const {
    xmlChar* value = xmlTextReaderGetAttribute(reader_, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
  }

 private:
  bool Is(int type, const char* local) const {
    if (xmlTextReaderNodeType(reader_) != type) return false;
    const xmlChar* name = xmlTextReaderConstLocalName(reader_);
    if (name == nullptr || xmlStrcmp(name, reinterpret_cast<const xmlChar*>(local)) != 0) {
      return false;
    }
    const xmlChar* space = xmlTextReaderConstNamespaceUri(reader_);
    if (space == nullptr) return true;  // a part written without the namespace
    for (const char* main : kMainNamespaces) {
      if (xmlStrcmp(space, reinterpret_cast<const xmlChar*>(main)) == 0) return true;
    }
    return false;
  }

  static void Error(void* self, const char* message, xmlParserSeverities severity,
                    xmlTextReaderLocatorPtr locator) {
    if (severity == XML_PARSER_SEVERITY_WARNING ||
        severity == XML_PARSER_SEVERITY_VALIDITY_WARNING) {
      return;
    }
    auto* reader = static_cast<Reader*>(self);
    if (!reader->error_.empty()) return;  // the first says most
    std::string text = message != nullptr ? message : "error";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    reader->error_ =
        "line " + std::to_string(xmlTextReaderLocatorLineNumber(locator)) + ": " + text;
  }

  xmlTextReaderPtr reader_ = nullptr;
  std::string what_;
  std::string error_;
};

// The text of the string item the reader stands on (<si> or <is>): its <t>
// runs joined, the phonetic hints (<rPh>) left out. Leaves the reader on the
// item's end.
std::string StringItem(Reader& reader) {
  std::string text;
  if (reader.IsEmpty()) return text;
  const int depth = reader.Depth();
  bool inText = false, inPhonetic = false;
  while (reader.Next() && reader.Depth() > depth) {
    if (reader.Opens("rPh") && !reader.IsEmpty()) inPhonetic = true;
    if (reader.Closes("rPh")) inPhonetic = false;
    if (reader.Opens("t") && !reader.IsEmpty()) inText = true;
    if (reader.Closes("t")) inText = false;
    if (inText && !inPhonetic && reader.IsText()) text += reader.Value();
  }
  return text;
}

// "B12" -> row 11, column 1.
bool CellPlace(const std::string& ref, int* row, int* column) {
  size_t i = 0;
  *column = 0;
  while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z')
    *column = *column * 26 + ref[i++] - 'A' + 1;
  --*column;
  const auto [stop, error] = std::from_chars(ref.data() + i, ref.data() + ref.size(), *row);
  --*row;
  return i > 0 && error == std::errc() && stop == ref.data() + ref.size() && *row >= 0;
}

// The cell from what its <c> element held.
Cell CellOf(const std::string& type, const std::optional<std::string>& value,
            const std::string& inlineText, const std::vector<std::string>& strings) {
  Cell cell;
  if (type == "inlineStr") {
    cell.text = inlineText;
  } else if (value) {
    if (type == "s") {
      size_t index = 0;
      const auto [stop, error] =
          std::from_chars(value->data(), value->data() + value->size(), index);
      if (error != std::errc() || index >= strings.size()) Fail("the Plate sheet has a bad text");
      cell.text = strings[index];
    } else if (type == "str") {
      cell.text = *value;
    } else {
      char* stop = nullptr;
      cell.number = std::strtod(value->c_str(), &stop);
      if (stop == value->c_str() || *stop != '\0') Fail("the Plate sheet has a bad number");
      cell.text = *value;
    }
  }
  return cell;
}

}  // namespace

std::string SheetPart(const std::string& workbook, const std::string& name) {
  Reader reader(workbook, "xl/workbook.xml");
  while (reader.Next()) {
    if (reader.Opens("sheet") && reader.Attribute("name") == name) {
      return "xl/worksheets/sheet" + reader.Attribute("sheetId") + ".xml";
    }
  }
  return {};
}

std::vector<std::string> SharedStrings(const std::string& xml) {
  std::vector<std::string> strings;
  Reader reader(xml, "xl/sharedStrings.xml");
  while (reader.Next()) {
    if (reader.Opens("si")) strings.push_back(StringItem(reader));
  }
  return strings;
}

Rows SheetCells(const std::string& xml, const std::vector<std::string>& strings) {
  Rows rows;
  Reader reader(xml, "the Plate sheet");
  while (reader.Next()) {
    if (!reader.Opens("c")) continue;
    int row = 0, column = 0;
    if (!CellPlace(reader.Attribute("r"), &row, &column)) Fail("the Plate sheet has a bad cell");
    if (reader.IsEmpty()) continue;
    const std::string type = reader.Attribute("t");
    std::optional<std::string> value;
    std::string inlineText;
    bool inValue = false;
    const int depth = reader.Depth();
    while (reader.Next() && reader.Depth() > depth) {
      if (reader.Opens("is")) {
        inlineText = StringItem(reader);
      } else if (reader.Opens("v") && !reader.IsEmpty()) {
        value.emplace();
        inValue = true;
      } else if (reader.Closes("v")) {
        inValue = false;
      } else if (inValue && reader.IsText()) {
        *value += reader.Value();
      }
    }
    rows[row][column] = CellOf(type, value, inlineText, strings);
  }
  return rows;
}

}  // namespace workbook_xml
