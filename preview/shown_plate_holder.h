// The plate a preview shows, kept on the preview itself: its buttons read
// it when clicked, so a plate ID taken later goes into every file and report.
#pragma once

struct ShownPlate;
class TemplateDialog;

void KeepShownPlate(TemplateDialog& preview, const ShownPlate& shown);
// The kept plate; null for a preview made without one.
ShownPlate* KeptShownPlate(TemplateDialog& preview);
// The kept plate, else made (the plate the preview was made with).
ShownPlate CurrentShownPlate(TemplateDialog& preview, const ShownPlate& made);
