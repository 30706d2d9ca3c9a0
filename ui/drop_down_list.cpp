#include "ui/drop_down_list.h"

#include <QWheelEvent>

TDropDownList::TDropDownList(QWidget* parent) : QComboBox(parent) {
  // A list takes the focus from a click or Tab, not from the wheel passing over it.
  setFocusPolicy(Qt::StrongFocus);
}

void TDropDownList::wheelEvent(QWheelEvent* event) {
  // The toolkit's list would step to the next item and report it as picked; ignored here, the
  // wheel goes on to the widgets the list lies on.
  event->ignore();
}
