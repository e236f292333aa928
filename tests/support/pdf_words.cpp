#include "tests/support/pdf_words.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "tests/support/command_output.h"

namespace {

std::string Attribute(const std::string& tag, const std::string& name) {
  const size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return "";
  const size_t begin = at + name.size() + 3;
  return tag.substr(begin, tag.find('"', begin) - begin);
}

std::string Unescaped(std::string text) {
  const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"},    {"&gt;", ">"},
                                                          {"&quot;", "\""}, {"&apos;", "'"},
                                                          {"&#39;", "'"},   {"&amp;", "&"}};
  for (const auto& [entity, plain] : entities) {
    for (size_t at; (at = text.find(entity)) != std::string::npos;) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  // The report's font may join "ff" or "fi" into one glyph; read them as letters.
  for (const auto& [ligature, letters] : {std::pair{"\uFB00", "ff"}, std::pair{"\uFB01", "fi"}}) {
    for (size_t at; (at = text.find(ligature)) != std::string::npos;) text.replace(at, 3, letters);
  }
  return text;
}

bool SameLine(const PdfWord& a, const PdfWord& b) {
  if (a.page != b.page) return false;
  const double overlap = std::min(a.yMax, b.yMax) - std::max(a.yMin, b.yMin);
  return overlap > 0.5 * std::min(a.yMax - a.yMin, b.yMax - b.yMin);
}

PdfWord Span(const PdfWord& a, const PdfWord& b) {
  PdfWord both = a;
  both.text = a.text + " " + b.text;
  both.xMin = std::min(a.xMin, b.xMin);
  both.yMin = std::min(a.yMin, b.yMin);
  both.xMax = std::max(a.xMax, b.xMax);
  both.yMax = std::max(a.yMax, b.yMax);
  return both;
}

std::vector<std::string> Split(const std::string& phrase) {
  std::istringstream in(phrase);
  std::vector<std::string> parts;
  for (std::string part; in >> part;) parts.push_back(part);
  return parts;
}

}  // namespace

std::vector<PdfWord> ReadPdfWords(const std::string& pdf) {
  const std::string html = CommandOutput("pdftotext -bbox '" + pdf + "' - 2>/dev/null");
  std::vector<PdfWord> words;
  int page = 0;
  for (size_t at = 0; (at = html.find('<', at)) != std::string::npos;) {
    const size_t end = html.find('>', at);
    if (end == std::string::npos) break;
    const std::string tag = html.substr(at, end - at + 1);
    if (tag.rfind("<page ", 0) == 0) ++page;
    if (tag.rfind("<word ", 0) == 0) {
      const size_t close = html.find("</word>", end);
      if (close == std::string::npos) break;
      PdfWord word;
      word.page = page;
      word.text = Unescaped(html.substr(end + 1, close - end - 1));
      word.xMin = std::atof(Attribute(tag, "xMin").c_str());
      word.yMin = std::atof(Attribute(tag, "yMin").c_str());
      word.xMax = std::atof(Attribute(tag, "xMax").c_str());
      word.yMax = std::atof(Attribute(tag, "yMax").c_str());
      words.push_back(word);
      at = close;
      continue;
    }
    at = end;
  }
  return words;
}

std::vector<PdfWord> PdfLineOf(const std::vector<PdfWord>& words, const PdfWord& word) {
  std::vector<PdfWord> line;
  for (const PdfWord& other : words) {
    if (SameLine(word, other)) line.push_back(other);
  }
  std::sort(line.begin(), line.end(),
            [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
  return line;
}

std::vector<PdfWord> FindPdfPhrase(const std::vector<PdfWord>& words, const std::string& phrase) {
  const std::vector<std::string> parts = Split(phrase);
  std::vector<PdfWord> found;
  if (parts.empty()) return found;
  for (const PdfWord& first : words) {
    if (first.text != parts[0]) continue;
    const std::vector<PdfWord> line = PdfLineOf(words, first);
    auto at = std::find_if(line.begin(), line.end(), [&](const PdfWord& w) {
      return w.xMin == first.xMin && w.yMin == first.yMin;
    });
    PdfWord box = *at;
    bool all = true;
    for (size_t i = 1; i < parts.size() && all; ++i) {
      all = ++at != line.end() && at->text == parts[i];
      if (all) box = Span(box, *at);
    }
    if (all) found.push_back(box);
  }
  return found;
}

double PdfXOverlap(const PdfWord& a, const PdfWord& b) {
  return std::max(0.0, std::min(a.xMax, b.xMax) - std::max(a.xMin, b.xMin));
}

const PdfWord* PdfHeaderAbove(const std::vector<PdfWord>& headers, const PdfWord& word) {
  const PdfWord* best = nullptr;
  double most = 0;
  for (const PdfWord& header : headers) {
    const double overlap = PdfXOverlap(header, word);
    if (overlap > most) {
      most = overlap;
      best = &header;
    }
  }
  return best;
}

std::vector<PdfTableRow> ReadPdfTable(const std::vector<PdfWord>& words,
                                      const std::vector<std::string>& headers) {
  std::vector<PdfTableRow> rows;
  if (headers.empty()) return rows;
  for (const PdfWord& first : FindPdfPhrase(words, headers[0])) {
    // The header line: each phrase found on it, owning the words up to the next.
    const std::vector<PdfWord> line = PdfLineOf(words, first);
    std::vector<PdfWord> boxes;
    std::vector<std::string> names;
    for (const std::string& header : headers) {
      for (const PdfWord& found : FindPdfPhrase(line, header)) {
        boxes.push_back(found);
        names.push_back(header);
      }
    }
    if (boxes.size() < 2) continue;  // a word "Name" elsewhere is no table
    std::vector<size_t> order(boxes.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return boxes[a].xMin < boxes[b].xMin; });
    for (const PdfWord& word : line) {
      PdfWord* owner = nullptr;
      for (size_t i : order) {
        if (boxes[i].xMin <= word.xMin) owner = &boxes[i];
      }
      if (owner && word.xMax > owner->xMax && PdfXOverlap(*owner, word) == 0) {
        owner->xMax = word.xMax;
      }
    }
    const auto nameOf = [&](const PdfWord* box) {
      return names[static_cast<size_t>(box - &boxes[0])];
    };
    const auto ownerOf = [&](const PdfWord& word) -> const PdfWord* {
      if (const PdfWord* above = PdfHeaderAbove(boxes, word)) return above;
      const PdfWord* left = nullptr;
      for (const PdfWord& box : boxes) {
        if (box.xMin <= word.xMin && (!left || box.xMin > left->xMin)) left = &box;
      }
      return left;
    };

    // The lines below, top to bottom, until a gap taller than a line.
    std::vector<PdfWord> below;
    for (const PdfWord& word : words) {
      if (word.page == first.page && word.yMin > first.yMax) below.push_back(word);
    }
    std::sort(below.begin(), below.end(), [](const PdfWord& a, const PdfWord& b) {
      return a.yMin != b.yMin ? a.yMin < b.yMin : a.xMin < b.xMin;
    });
    const double lineHeight = first.yMax - first.yMin;
    double lastBottom = first.yMax;
    double rowGap = -1;  // between the header and the first row: between rows
    std::vector<bool> taken(below.size());
    for (size_t i = 0; i < below.size(); ++i) {
      if (taken[i]) continue;
      const double gap = below[i].yMin - lastBottom;
      if (gap > lineHeight || (rowGap >= 0 && gap > 2 * rowGap + 1)) break;
      if (rowGap < 0) rowGap = std::max(0.0, gap);
      // A line closer than rows are to each other is a wrapped cell's next line.
      const bool wrapped = !rows.empty() && rows.back().page == first.page && gap < rowGap / 2;
      std::vector<PdfWord> row;
      for (size_t j = i; j < below.size(); ++j) {
        if (!taken[j] && SameLine(below[i], below[j])) {
          taken[j] = true;
          row.push_back(below[j]);
        }
      }
      std::sort(row.begin(), row.end(),
                [](const PdfWord& a, const PdfWord& b) { return a.xMin < b.xMin; });
      std::map<std::string, std::string> cells;
      for (const PdfWord& word : row) {
        lastBottom = std::max(lastBottom, word.yMax);
        if (const PdfWord* owner = ownerOf(word)) {
          std::string& cell = cells[nameOf(owner)];
          cell += (cell.empty() ? "" : " ") + word.text;
        }
      }
      if ((wrapped || !cells.count(headers[0])) && !rows.empty() &&
          rows.back().page == first.page) {
        for (const auto& [name, text] : cells) {
          std::string& cell = rows.back().cells[name];
          cell += (cell.empty() ? "" : " ") + text;
        }
        continue;
      }
      rows.push_back({first.page, cells});
    }
  }
  return rows;
}
