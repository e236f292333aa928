// "&Layout..." and "A&nalysis..." in the data preview: the layout editor and
// the analysis of the shown plate, and the role tags of the layout in use
// in the preview's cells.
#pragma once

class PreviewHeatMap;
class TemplateDialog;
struct ShownPlate;

// Below "&Save..." and "Close", in the row the preview grew by.
void AddAnalysisButtons(TemplateDialog& preview, PreviewHeatMap& heatMap, const ShownPlate& shown);

// Tags the wells of the layout in use; none when there is none.
// A read with its own assay (one from the archive) shows that assay's roles.
void ShowLayoutRoles(TemplateDialog& preview, PreviewHeatMap& heatMap, const ShownPlate& shown);
