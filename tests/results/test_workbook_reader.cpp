// Plates read back from a workbook whose parts are written as other programs
// write XML: namespace prefixes, entities and character references, CDATA,
// self-closing cells, rich and phonetic text; a damaged sheet says so.
#include <gtest/gtest.h>
#include <zip.h>

#include <string>
#include <utility>
#include <vector>

#include "results/result_file_reader.h"
#include "results/workbook_reader.h"
#include "tests/support/temp_home.h"

namespace {

using Parts = std::vector<std::pair<std::string, std::string>>;

void WriteZip(const std::string& path, const Parts& parts) {
  zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr) << path;
  for (const auto& [name, text] : parts) {
    zip_fileinfo info{};
    ASSERT_EQ(zipOpenNewFileInZip64(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, text.data(), static_cast<unsigned>(text.size())), ZIP_OK);
    zipCloseFileInZip(zip);
  }
  zipClose(zip, nullptr);
}

const char kMain[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";

std::string Column(int column) {
  return std::string(1, static_cast<char>('A' + column));
}

// The Plate sheet with every element prefixed x:, the wells reading
// (row * 12 + column) / 1000 OD, H12 a self-closing cell.
std::string PlateSheet() {
  auto cell = [](const std::string& ref, const std::string& attributes, const std::string& inner) {
    return "<x:c r=\"" + ref + "\"" + attributes + ">" + inner + "</x:c>";
  };
  std::string rows;
  auto row = [&](int r, const std::string& cells) {
    rows += "<x:row r=\"" + std::to_string(r) + "\">" + cells + "</x:row>\n";
  };
  row(1, cell("A1", " t=\"s\"", "<x:v>0</x:v>") + cell("B1", " t=\"s\"", "<x:v>1</x:v>"));
  // A cell of another vocabulary is none of the sheet's.
  row(2, cell("A2", " t=\"s\"", "<x:v>2</x:v>") + cell("B2", " t=\"s\"", "<x:v>3</x:v>") +
             "<o:c xmlns:o=\"urn:other\" r=\"B2\" t=\"str\"><o:v>not this</o:v></o:c>");
  row(3, cell("A3", " t=\"inlineStr\"", "<x:is><x:t>primary [nm]</x:t></x:is>") +
             cell("B3", "", "<x:v><![CDATA[450]]></x:v>"));
  row(4, cell("A4", " t=\"str\"", "<x:f>\"reference [nm]\"</x:f><x:v>reference &#91;nm]</x:v>") +
             cell("B4", " s=\"2\"", "<x:v>620</x:v>") + "<x:c r=\"C4\" s=\"1\"/>");
  row(5, cell("A5", " t=\"inlineStr\"",
              "<x:is><x:r><x:t>compl</x:t></x:r><x:r><x:rPr><x:b/></x:rPr><x:t>eted</x:t></x:r>"
              "</x:is>") +
             cell("B5", " t=\"str\"", "<x:v>2026-12-07T16:20:42+01:00</x:v>"));
  std::string header;
  for (int column = 1; column <= 12; ++column)
    header += cell(Column(column) + "6", "", "<x:v>" + std::to_string(column) + "</x:v>");
  row(6, header);
  for (int line = 0; line < 8; ++line) {
    const std::string r = std::to_string(7 + line);
    std::string cells =
        cell("A" + r, " t=\"inlineStr\"", "<x:is><x:t>" + Column(line) + "</x:t></x:is>");
    for (int column = 0; column < 12; ++column) {
      const std::string ref = Column(column + 1) + r;
      if (line == 7 && column == 11) {
        cells += "<x:c r=\"" + ref + "\" s=\"1\"/>";
      } else {
        cells += cell(ref, "", "<x:v>" + std::to_string((line * 12 + column) / 1000.0) + "</x:v>");
      }
    }
    row(7 + line, cells);
  }
  return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n") +
         "<x:worksheet xmlns:x=\"" + kMain + "\">\n<x:sheetData>\n" + rows +
         "</x:sheetData>\n</x:worksheet>\n";
}

Parts Workbook(const std::string& sheet) {
  const std::string workbook =
      std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook xmlns=\"") + kMain +
      "\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<sheets><sheet name=\"Notes\" sheetId=\"1\" r:id=\"rId1\"/>"
      "<sheet name=\"Pl&#97;te\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>";
  // Shared strings with their own prefix: runs joined, the phonetic hint
  // left out, entities and a character reference resolved.
  const std::string shared =
      std::string("<?xml version=\"1.0\"?>\n<s:sst xmlns:s=\"") + kMain + "\" count=\"4\">" +
      "<s:si><s:t>reader</s:t></s:si>"
      "<s:si><s:r><s:t>Jup</s:t></s:r><s:r><s:t>iter</s:t></s:r>"
      "<s:rPh sb=\"0\" eb=\"1\"><s:t>hint</s:t></s:rPh></s:si>"
      "<s:si><s:t>reader id</s:t></s:si>"
      "<s:si><s:t xml:space=\"preserve\">&lt;A&amp;B&gt; &#x2116;7 </s:t></s:si></s:sst>";
  return {{"xl/workbook.xml", workbook},
          {"xl/sharedStrings.xml", shared},
          {"xl/worksheets/sheet1.xml", "<worksheet xmlns=\"" + std::string(kMain) + "\"/>"},
          {"xl/worksheets/sheet2.xml", sheet}};
}

}  // namespace

TEST(WorkbookReader, ReadsThePlateSheetAsAnyXmlAndNamesADamagedOne) {
  const TempHome home("workbook-reader");
  const std::string path = (home.path() / "plate.xlsx").string();
  WriteZip(path, Workbook(PlateSheet()));
  const SavedPlates read = ReadPlateFile(path);
  ASSERT_TRUE(read.ok) << read.error;
  ASSERT_EQ(read.plates.size(), 1u);
  const SavedPlate& saved = read.plates[0];
  EXPECT_EQ(saved.context.readerKind, "Jupiter");
  EXPECT_EQ(saved.context.readerId, "<A&B> \u21167 ");
  EXPECT_EQ(saved.plate.nPrimary, 450);
  EXPECT_EQ(saved.plate.nReference, 620);
  ASSERT_TRUE(saved.context.completed.has_value());
  std::chrono::system_clock::time_point completed;
  ASSERT_TRUE(ParseIsoTime("2026-12-07T16:20:42+01:00", &completed));
  EXPECT_EQ(*saved.context.completed, completed);
  for (int well = 0; well < 95; ++well) EXPECT_EQ(saved.plate.nValue[well], well) << well;
  EXPECT_EQ(saved.plate.nValue[95], kNoValue);

  // Damaged: cut short, a text index past the strings, a cell without its
  // place. The error names the file and what is wrong; nothing is read.
  const std::string sheet = PlateSheet();
  const std::pair<std::string, std::string> damaged[] = {
      {sheet.substr(0, sheet.size() / 2), "the Plate sheet is not well-formed XML (line "},
      {std::string(sheet).replace(sheet.find("<x:v>1</x:v>"), 12, "<x:v>9</x:v>"),
       "the Plate sheet has a bad text"},
      {std::string(sheet).replace(sheet.find("r=\"B3\""), 6, "r=\"3B\""),
       "the Plate sheet has a bad cell"}};
  for (const auto& [text, reason] : damaged) {
    WriteZip(path, Workbook(text));
    const SavedPlates refused = ReadPlateFile(path);
    EXPECT_FALSE(refused.ok) << reason;
    EXPECT_TRUE(refused.plates.empty()) << reason;
    EXPECT_EQ(refused.error.rfind(path + ": " + reason, 0), 0u) << refused.error;
  }
}
