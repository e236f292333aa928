#include "preview/shown_plate_holder.h"

#include <QObject>

#include "analysis_ui/shown_plate.h"
#include "dialogs/template_dialog.h"

namespace {

class ShownPlateHolder : public QObject {
 public:
  ShownPlateHolder(QObject* parent, const ShownPlate& shown) : QObject(parent), shown_(shown) {
    setObjectName(QStringLiteral("shownPlate"));
  }
  ShownPlate& Shown() { return shown_; }

 private:
  ShownPlate shown_;
};

}  // namespace

void KeepShownPlate(TemplateDialog& preview, const ShownPlate& shown) {
  new ShownPlateHolder(&preview, shown);
}

ShownPlate* KeptShownPlate(TemplateDialog& preview) {
  auto* holder = dynamic_cast<ShownPlateHolder*>(
      preview.findChild<QObject*>(QStringLiteral("shownPlate"), Qt::FindDirectChildrenOnly));
  return holder != nullptr ? &holder->Shown() : nullptr;
}

ShownPlate CurrentShownPlate(TemplateDialog& preview, const ShownPlate& made) {
  const ShownPlate* kept = KeptShownPlate(preview);
  return kept != nullptr ? *kept : made;
}
