#include "analysis/plate_layout.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>
#include <vector>

#include "results/atomic_file.h"
#include "results/csv_table.h"

namespace analysis {

namespace {

enum Block { kRole, kName, kConcentration, kDilution, kUnit, kRange, kBlockCount };
constexpr const char* kBlockNames[kBlockCount] = {"Role",     "Name", "Concentration",
                                                  "Dilution", "Unit", "Range"};

struct LayoutError {
  std::string text;
};

[[noreturn]] void Fail(std::string text) {
  throw LayoutError{std::move(text)};
}

std::string CellPlace(Block block, int well) {
  return std::string(kBlockNames[block]) + " block, row " + static_cast<char>('A' + well / 12) +
         ", column " + std::to_string(well % 12 + 1);
}

[[noreturn]] void FailAt(Block block, int well, const std::string& what) {
  Fail(CellPlace(block, well) + ": " + what);
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::optional<double> Number(std::string text, char separator) {
  // A semicolon file comes from a decimal-comma spreadsheet.
  if (separator == ';') {
    for (char& c : text) {
      if (c == ',') c = '.';
    }
  }
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string NumberText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

// "LOW-HIGH": the first minus that is neither a sign nor an exponent's.
std::optional<ExpectedRange> Range(const std::string& text, char separator) {
  for (size_t i = 1; i < text.size(); ++i) {
    if (text[i] != '-' || text[i - 1] == 'e' || text[i - 1] == 'E' || text[i - 1] == '-') {
      continue;
    }
    const auto low = Number(text.substr(0, i), separator);
    const auto high = Number(text.substr(i + 1), separator);
    if (!low || !high) return std::nullopt;
    return ExpectedRange{*low, *high};
  }
  return std::nullopt;
}

using BlockCells = std::array<std::string, kLayoutWells>;

// The blocks of the file, each as its 96 cell texts.
std::array<std::optional<BlockCells>, kBlockCount> ReadBlocks(std::string_view text) {
  const CsvTable table = SplitCsv(text);
  std::array<std::optional<BlockCells>, kBlockCount> blocks;
  size_t i = 0;
  const auto& lines = table.lines;
  while (i < lines.size()) {
    if (IsBlankLine(lines[i])) {
      ++i;
      continue;
    }
    const CsvLine& header = lines[i];
    const std::string where = "line " + std::to_string(header.number) + ": ";
    int block = 0;
    while (block < kBlockCount && Lower(header.cells[0]) != Lower(kBlockNames[block])) ++block;
    if (block == kBlockCount) {
      Fail(where + "'" + header.cells[0] +
           "' is not a block (Role, Name, Concentration, Dilution, Unit or Range)");
    }
    const std::string name = kBlockNames[block];
    if (blocks[block]) Fail(where + "a second " + name + " block");
    for (size_t c = 1; c < header.cells.size(); ++c) {
      const bool wanted = c <= 12 ? header.cells[c] == std::to_string(c) : header.cells[c].empty();
      if (!wanted) {
        Fail(where + name + " block: the header must be the columns 1 to 12, found '" +
             header.cells[c] + "' in column " + std::to_string(c));
      }
    }
    if (header.cells.size() < 13) {
      Fail(where + name + " block: the header must be the columns 1 to 12, it ends after " +
           std::to_string(header.cells.size() - 1));
    }
    BlockCells cells;
    for (int row = 0; row < kLayoutRows; ++row) {
      const char letter = static_cast<char>('A' + row);
      const size_t at = i + 1 + row;
      if (at >= lines.size() || IsBlankLine(lines[at])) {
        Fail("line " +
             std::to_string(at < lines.size() ? lines[at].number : header.number + row + 1) + ": " +
             name + " block: row " + letter + " is missing (a block has rows A to H)");
      }
      const CsvLine& line = lines[at];
      const std::string& label = line.cells[0];
      if (label.size() != 1 || (label[0] != letter && label[0] != letter - 'A' + 'a')) {
        Fail("line " + std::to_string(line.number) + ": " + name + " block: row '" + label +
             "' where row " + letter + " belongs (a block has rows A to H)");
      }
      for (size_t c = 13; c < line.cells.size(); ++c) {
        if (!line.cells[c].empty()) {
          Fail("line " + std::to_string(line.number) + ": " + name + " block, row " + letter +
               ": more than 12 columns ('" + line.cells[c] + "' in column " + std::to_string(c) +
               ")");
        }
      }
      for (int column = 0; column < kLayoutColumns; ++column) {
        const size_t c = static_cast<size_t>(column) + 1;
        cells[row * kLayoutColumns + column] = c < line.cells.size() ? line.cells[c] : "";
      }
    }
    i += 1 + kLayoutRows;
    if (i < lines.size() && !IsBlankLine(lines[i])) {
      Fail("line " + std::to_string(lines[i].number) + ": " + name + " block: a row '" +
           lines[i].cells[0] +
           "' after row H (a block has rows A to H; a blank line sets blocks apart)");
    }
    blocks[block] = std::move(cells);
  }
  return blocks;
}

std::optional<WellRole> RoleFromText(const std::string& text) {
  const std::string lower = Lower(text);
  if (lower.empty()) return WellRole::Empty;
  for (WellRole role : {WellRole::Blank, WellRole::Standard, WellRole::Sample, WellRole::Control}) {
    if (lower == WellRoleName(role)) return role;
  }
  return std::nullopt;
}

const std::string& Cell(const std::optional<BlockCells>& block, int well) {
  static const std::string kEmpty;
  return block ? (*block)[well] : kEmpty;
}

// Wells of one role and name are replicates: they must agree on what the
// group's result depends on.
void CheckReplicates(const PlateLayout& layout) {
  std::map<std::string, int> firstWithName;
  std::map<double, int> firstStandardAt;
  for (int well = 0; well < kLayoutWells; ++well) {
    const WellContent& content = layout.wells[well];
    if (content.role == WellRole::Empty || content.role == WellRole::Blank ||
        content.name.empty()) {
      continue;
    }
    const auto [it, first] = firstWithName.emplace(content.name, well);
    if (first) continue;
    const WellContent& other = layout.wells[it->second];
    const std::string here =
        "'" + content.name + "' in " + WellName(well) + " and " + WellName(it->second);
    if (other.role != content.role) {
      FailAt(kName, well,
             "'" + content.name + "' names a " + WellRoleName(content.role) + " here and a " +
                 WellRoleName(other.role) + " in " + WellName(it->second));
    }
    if (content.role == WellRole::Standard && other.concentration != content.concentration) {
      FailAt(kConcentration, well, "standard " + here + " have different concentrations");
    }
    if (other.dilution.value_or(1) != content.dilution.value_or(1)) {
      FailAt(kDilution, well, "replicates " + here + " have different dilutions");
    }
    if (other.range != content.range) {
      FailAt(kRange, well, "replicates " + here + " have different ranges");
    }
  }
}

PlateLayout Interpret(const std::array<std::optional<BlockCells>, kBlockCount>& blocks,
                      char separator) {
  if (!blocks[kRole]) Fail("the layout has no Role block");
  PlateLayout layout;
  int unitWell = -1;
  for (int well = 0; well < kLayoutWells; ++well) {
    WellContent& content = layout.wells[well];
    const auto role = RoleFromText(Cell(blocks[kRole], well));
    if (!role) {
      FailAt(kRole, well,
             "unknown role '" + Cell(blocks[kRole], well) +
                 "' (blank, standard, sample, control or an empty cell)");
    }
    content.role = *role;
    const std::string roleName = WellRoleName(*role);

    // Every attribute of an empty well is a mistake somewhere.
    if (*role == WellRole::Empty) {
      for (int block = kName; block < kBlockCount; ++block) {
        if (!Cell(blocks[block], well).empty()) {
          FailAt(static_cast<Block>(block), well,
                 "'" + Cell(blocks[block], well) + "' on a well without a role");
        }
      }
      continue;
    }

    content.name = Cell(blocks[kName], well);
    if ((*role == WellRole::Sample || *role == WellRole::Control) && content.name.empty()) {
      FailAt(
          kName, well,
          "a " + roleName + " needs a name" + (blocks[kName] ? "" : " (there is no Name block)"));
    }

    const std::string& concentration = Cell(blocks[kConcentration], well);
    if (*role == WellRole::Standard) {
      if (concentration.empty()) {
        FailAt(kConcentration, well,
               std::string("a standard needs a concentration") +
                   (blocks[kConcentration] ? "" : " (there is no Concentration block)"));
      }
      const auto value = Number(concentration, separator);
      if (!value) FailAt(kConcentration, well, "'" + concentration + "' is not a number");
      if (*value < 0) FailAt(kConcentration, well, "a concentration cannot be below 0");
      content.concentration = value;
    } else if (!concentration.empty()) {
      FailAt(kConcentration, well, "only standards take a concentration, this is a " + roleName);
    }

    const std::string& dilution = Cell(blocks[kDilution], well);
    if (!dilution.empty()) {
      if (*role != WellRole::Sample && *role != WellRole::Control) {
        FailAt(kDilution, well, "only samples and controls take a dilution, this is a " + roleName);
      }
      const auto value = Number(dilution, separator);
      if (!value) FailAt(kDilution, well, "'" + dilution + "' is not a number");
      if (*value <= 0) FailAt(kDilution, well, "a dilution factor must be above 0");
      content.dilution = value;
    }

    const std::string& range = Cell(blocks[kRange], well);
    if (!range.empty()) {
      if (*role != WellRole::Control) {
        FailAt(kRange, well, "only controls take a range, this is a " + roleName);
      }
      const auto value = Range(range, separator);
      if (!value) FailAt(kRange, well, "'" + range + "' is not a range LOW-HIGH");
      if (value->low > value->high)
        FailAt(kRange, well, "the range '" + range + "' runs backwards");
      content.range = value;
    }

    const std::string& unit = Cell(blocks[kUnit], well);
    if (!unit.empty()) {
      if (unitWell >= 0 && unit != layout.unit) {
        FailAt(kUnit, well,
               "unit '" + unit + "' where " + WellName(unitWell) + " has '" + layout.unit +
                   "' (one unit for the plate)");
      }
      layout.unit = unit;
      unitWell = well;
    }
  }
  CheckReplicates(layout);
  return layout;
}

// A line break cannot live in a cell of the file: it becomes a space.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

void WriteBlock(std::string& out, Block block, const std::array<std::string, kLayoutWells>& cells) {
  if (!out.empty()) out += '\n';
  out += kBlockNames[block];
  for (int column = 1; column <= kLayoutColumns; ++column) out += ',' + std::to_string(column);
  out += '\n';
  for (int row = 0; row < kLayoutRows; ++row) {
    out += static_cast<char>('A' + row);
    for (int column = 0; column < kLayoutColumns; ++column) {
      out += ',';
      out += CsvCellText(OneLine(cells[row * kLayoutColumns + column]), ',');
    }
    out += '\n';
  }
}

}  // namespace

const char* WellRoleName(WellRole role) {
  switch (role) {
    case WellRole::Blank:
      return "blank";
    case WellRole::Standard:
      return "standard";
    case WellRole::Sample:
      return "sample";
    case WellRole::Control:
      return "control";
    case WellRole::Empty:
      break;
  }
  return "";
}

std::string WellName(int well) {
  return static_cast<char>('A' + well / kLayoutColumns) + std::to_string(well % kLayoutColumns + 1);
}

LayoutParse ParseLayout(std::string_view text) {
  LayoutParse parse;
  try {
    const char separator = CsvSeparator(text);
    parse.layout = Interpret(ReadBlocks(text), separator);
    parse.ok = true;
  } catch (const LayoutError& error) {
    parse.error = error.text;
  }
  return parse;
}

std::string WriteLayout(const PlateLayout& layout) {
  std::array<std::array<std::string, kLayoutWells>, kBlockCount> cells;
  std::array<bool, kBlockCount> used{};
  used[kRole] = true;
  for (int well = 0; well < kLayoutWells; ++well) {
    const WellContent& content = layout.wells[well];
    if (content.role == WellRole::Empty) continue;
    const auto set = [&](Block block, std::string text) {
      used[block] = used[block] || !text.empty();
      cells[block][well] = std::move(text);
    };
    set(kRole, WellRoleName(content.role));
    set(kName, content.name);
    if (content.concentration) set(kConcentration, NumberText(*content.concentration));
    if (content.dilution) set(kDilution, NumberText(*content.dilution));
    set(kUnit, layout.unit);
    if (content.range) {
      set(kRange, NumberText(content.range->low) + "-" + NumberText(content.range->high));
    }
  }
  std::string out;
  for (int block = 0; block < kBlockCount; ++block) {
    if (used[block]) WriteBlock(out, static_cast<Block>(block), cells[block]);
  }
  return out;
}

LayoutParse ReadLayoutFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LayoutParse parse;
    parse.error = path + ": " + std::generic_category().message(errno);
    return parse;
  }
  std::ostringstream text;
  text << in.rdbuf();
  LayoutParse parse = ParseLayout(text.str());
  if (!parse.ok) parse.error = path + ": " + parse.error;
  return parse;
}

bool SaveLayoutFile(const std::string& path, const PlateLayout& layout, std::string* error) {
  return WriteFileAtomically(path, WriteLayout(layout), error);
}

}  // namespace analysis
