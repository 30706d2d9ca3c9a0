#pragma once
// The layout record: the design geometry and font size of the window's components, taken once
// at creation, and the proportional scaling that every resize applies to them. Scaling always
// starts from the recorded design values, so going back to the design size restores the design
// layout exactly.

#include <QObject>
#include <vector>

// One component's design values: left, top, width and height relative to its parent, and its
// font size in points.
struct TLayoutEntry {
  bool Recorded = false;
  int Left = 0, Top = 0, Width = 0, Height = 0, FontSize = 0;
};

// The non-visual components (menus, dialogs, timers), told by their class name exactly as the
// layout rule names them; the layout record leaves them alone.
bool IsNonVisual(const QObject* component);

// Whether the window itself places a component. The toolkit places the others: the widgets a
// layout manages, the pages of a tab control and a scroll box's client; recording and scaling
// those would fight the toolkit over them (a page forced to a scaled copy of its size before
// layout no longer fills its tab control). Only what the window places is recorded and scaled.
bool PlacedByWindow(const QObject* component);

// The values of an entry scaled by sx and sy, each truncated toward zero; the font is scaled by
// the smaller factor (sy on a tie) and never falls below the smallest size the toolkit can show.
TLayoutEntry ScaledEntry(const TLayoutEntry& design, double sx, double sy);

// One entry per component, in component order, for the visual components the window places;
// the other entries stay unset.
std::vector<TLayoutEntry> RecordGeometry(const std::vector<QObject*>& components);

// Puts every recorded component at its design values scaled by sx and sy.
void ScaleGeometry(const std::vector<QObject*>& components,
                   const std::vector<TLayoutEntry>& entries, double sx, double sy);
