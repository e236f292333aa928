// A PDF's words where a reader sees them: pdftotext -bbox (poppler) gives
// each word with its box, in points from the page's top left. With them a
// test asks what a person would: which header a number stands under, what
// a table's row says under each of its headers.
#pragma once

#include <map>
#include <string>
#include <vector>

struct PdfWord {
  int page = 0;  // from 1
  std::string text;
  double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

// Every word of every page, in pdftotext's reading order; empty when the
// file cannot be read.
std::vector<PdfWord> ReadPdfWords(const std::string& pdf);

// Every place phrase stands as consecutive words on one line ("% Recovery"),
// each as one word whose box spans them all.
std::vector<PdfWord> FindPdfPhrase(const std::vector<PdfWord>& words, const std::string& phrase);

// The words on word's line (same page, overlapping heights), left to right.
std::vector<PdfWord> PdfLineOf(const std::vector<PdfWord>& words, const PdfWord& word);

// How far two boxes overlap side by side (0 when apart).
double PdfXOverlap(const PdfWord& a, const PdfWord& b);

// Of headers, the one word stands under (the largest side-by-side
// overlap); nullptr when it stands under none.
const PdfWord* PdfHeaderAbove(const std::vector<PdfWord>& headers, const PdfWord& word);

// A table read back: on every page, the line holding the first of headers
// is the header line; each header phrase found there owns the words after
// it up to the next one ("Conc." takes "[ng/mL]"). The lines below are
// rows until a gap taller than a line or twice the gap between the header
// and the first row; a word belongs to the header it stands under, or else
// to the nearest one left of it. A line closer to the one above than rows
// are to each other, or with nothing under the first header, continues the
// row above (a wrapped cell).
struct PdfTableRow {
  int page = 0;
  std::map<std::string, std::string> cells;  // header phrase -> words joined by spaces
  std::string Under(const std::string& header) const {
    const auto found = cells.find(header);
    return found == cells.end() ? "" : found->second;
  }
};
std::vector<PdfTableRow> ReadPdfTable(const std::vector<PdfWord>& words,
                                      const std::vector<std::string>& headers);
