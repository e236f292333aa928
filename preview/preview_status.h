// An aborted or failed read in the preview: its status in the title and in
// a banner over an empty, greyed plate, so no one takes its cells for data.
#pragma once

class TemplateDialog;
struct ShownPlate;

// Does nothing for a completed read.
void ShowReadStatus(TemplateDialog& preview, const ShownPlate& shown);
