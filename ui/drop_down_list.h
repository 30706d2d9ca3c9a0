#pragma once
// A drop-down list: the user changes it only by picking an item, from its list or with the
// keyboard while it has the focus. The mouse wheel over it scrolls what it lies on (the capcode
// list or its page), as everywhere else in the window, and does not take the focus.

#include <QComboBox>

class TDropDownList : public QComboBox {
  Q_OBJECT
public:
  explicit TDropDownList(QWidget* parent = nullptr);

protected:
  void wheelEvent(QWheelEvent* event) override;
};
