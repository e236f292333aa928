// placeholder, replaced as the dialog builder is built
#include "ui/template_dialog.h"
