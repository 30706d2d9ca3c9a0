#pragma once
// Turns the toolkit's events into the window's named handlers: enter and exit of edit boxes
// and memos, key presses with a replaceable character, clicks of lists and check boxes, and
// mouse movement over a control's own area. Text an input method commits passes the key press
// handler character by character, like typed text. An exception that escapes a handler is
// shown and ends at the handler (RunHandler); the toolkit's code around it runs to its end.

#include <QObject>
#include <functional>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QInputMethodEvent;
class QTimer;
class QWidget;

using TNotifyEvent = std::function<void(QObject* Sender)>;
// Key is the typed character as a UTF-16 unit: Backspace is 0x08 and Enter 0x0D. Setting it
// to 0 discards the key; changing it inserts the changed character instead.
using TKeyPressEvent = std::function<void(QObject* Sender, char16_t& Key)>;

class TEventAdapter : public QObject {
  Q_OBJECT
public:
  // The one adapter of a control, created on first use.
  static TEventAdapter& Of(QWidget* control);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyPressEvent OnKeyPress;
  TNotifyEvent OnMouseMove; // only over the control itself, not over its children
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  explicit TEventAdapter(QWidget* control);
  void Resend(QEvent& event); // to the control, past this filter
  void CommitFiltered(const QInputMethodEvent& input);
  QWidget* FControl;
  bool FInExit = false;
  bool FEntered = false;    // has the focus since an entry (left by a deactivation or a popup)
  bool FHandedBack = false; // the exit handler gave the focus back; it has not arrived yet
  bool FResending = false;
};

// A list's click: the user picked an item (not a change made by code).
void OnListClick(QComboBox* list, TNotifyEvent handler);
// A check box's click: every change of its state, also one made by code.
void OnCheckClick(QCheckBox* box, TNotifyEvent handler);
// A button's click.
void OnButtonClick(QAbstractButton* button, TNotifyEvent handler);
// A menu item's click, by the mouse or by its shortcut.
void OnMenuClick(QAction* item, TNotifyEvent handler);
// A timer's tick.
void OnTimer(QTimer* timer, TNotifyEvent handler);

// Keeps the keys of the window's menu items for the menu wherever the focus is: no control takes
// one of them for an editing function of its own (on X11 line edits and memos bind Ctrl+E to
// "end of line", which would leave File > Exit dead while an edit box has the focus).
void KeepMenuShortcuts(QWidget* window);

// True while some exit handler runs; a focus change made by it is not a new entry.
bool ExitHandlerRunning();
