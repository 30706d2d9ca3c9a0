#include "ui/layout_record.h"

#include <QLayout>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <cmath>

bool IsNonVisual(const QObject* component) {
  static const QStringList kNonVisual{"TMainMenu", "TSaveDialog", "TOpenDialog",
                                      "TTimer",    "TMenuItem",   "TImageList",
                                      "TADOQuery", "TDataSource", "TADOConnection"};
  return kNonVisual.contains(component->property("ClassName").toString());
}

bool PlacedByWindow(const QObject* component) {
  const auto* widget = qobject_cast<const QWidget*>(component);
  if (!widget || widget->isWindow())
    return false;
  const QWidget* parent = widget->parentWidget();
  if (!parent)
    return false;
  if (parent->layout() && parent->layout()->indexOf(widget) >= 0)
    return false;
  if (qobject_cast<const QStackedWidget*>(parent))
    return false;
  const auto* scrollBox = qobject_cast<const QScrollArea*>(parent->parentWidget());
  return !(scrollBox && scrollBox->widget() == widget);
}

TLayoutEntry ScaledEntry(const TLayoutEntry& design, double sx, double sy) {
  const double f = sx < sy ? sx : sy;
  TLayoutEntry scaled = design;
  scaled.Left = static_cast<int>(std::trunc(design.Left * sx));
  scaled.Top = static_cast<int>(std::trunc(design.Top * sy));
  scaled.Width = static_cast<int>(std::trunc(design.Width * sx));
  scaled.Height = static_cast<int>(std::trunc(design.Height * sy));
  // The toolkit has no 0-point font; the smallest it can show stands in for it.
  if (design.FontSize > 0)
    scaled.FontSize = std::max(1, static_cast<int>(std::trunc(design.FontSize * f)));
  return scaled;
}

std::vector<TLayoutEntry> RecordGeometry(const std::vector<QObject*>& components) {
  std::vector<TLayoutEntry> entries(components.size());
  for (std::size_t c = 0; c < components.size(); ++c) {
    QObject* component = components[c];
    if (IsNonVisual(component) || !PlacedByWindow(component))
      continue;
    auto* widget = qobject_cast<QWidget*>(component);
    TLayoutEntry& entry = entries[c];
    const QRect g = widget->geometry();
    entry.Left = g.x();
    entry.Top = g.y();
    entry.Width = g.width();
    entry.Height = g.height();
    entry.FontSize = widget->font().pointSize();
    entry.Recorded = true;
  }
  return entries;
}

void ScaleGeometry(const std::vector<QObject*>& components,
                   const std::vector<TLayoutEntry>& entries, double sx, double sy) {
  for (std::size_t c = 0; c < components.size() && c < entries.size(); ++c) {
    if (!entries[c].Recorded || IsNonVisual(components[c]))
      continue;
    auto* widget = qobject_cast<QWidget*>(components[c]);
    if (!widget)
      continue;
    const TLayoutEntry scaled = ScaledEntry(entries[c], sx, sy);
    widget->setGeometry(scaled.Left, scaled.Top, scaled.Width, scaled.Height);
    if (scaled.FontSize > 0) {
      QFont font = widget->font();
      font.setPointSize(scaled.FontSize);
      widget->setFont(font);
    }
  }
}
