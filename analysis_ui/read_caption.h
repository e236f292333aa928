// Which read a window shows, and whether it holds data at all: an aborted
// or failed read is named as such wherever it is shown, never as a plate.
#pragma once

#include <QString>
#include <QStringList>

struct ShownPlate;

// "Plate ID P-7 · read 2026-12-09 14:20:05 · record 1a2b3c4d"; the parts
// the plate has ("no plate ID" when none was entered).
QString ReadCaption(const ShownPlate& shown);

// True for a read that did not complete (aborted or failed).
bool UnfinishedRead(const ShownPlate& shown);
// "Aborted read: no valid data", "Failed read: no valid data (why)"; empty
// for a completed read.
QString UnfinishedReadText(const ShownPlate& shown);
// "Aborted read", "Failed read": for a window's title; empty when completed.
QString UnfinishedReadTitle(const ShownPlate& shown);
