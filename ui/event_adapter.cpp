#include "ui/event_adapter.h"

#include "ui/application.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>

namespace {

int gExitDepth = 0;

// Watches the shortcut overrides of the whole application; a control of its window that asks
// for one of the window's menu keys is refused, so the key goes to the menu item.
class TShortcutKeeper : public QObject {
public:
  explicit TShortcutKeeper(QWidget* window) : QObject(window), FWindow(window) {
    qApp->installEventFilter(this);
  }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride)
      return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != FWindow)
      return false;
    const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
    for (const QAction* action : FWindow->actions())
      if (action->shortcuts().contains(pressed)) {
        event->ignore();
        return true;
      }
    return false;
  }

private:
  QWidget* FWindow;
};

} // namespace

bool ExitHandlerRunning() {
  return gExitDepth > 0;
}

TEventAdapter::TEventAdapter(QWidget* control) : QObject(control), FControl(control) {
  setObjectName("eventAdapter");
  control->installEventFilter(this);
  // Scroll areas (memos) receive the mouse on their viewport.
  if (auto* area = qobject_cast<QAbstractScrollArea*>(control))
    area->viewport()->installEventFilter(this);
}

TEventAdapter& TEventAdapter::Of(QWidget* control) {
  if (auto* existing =
          control->findChild<TEventAdapter*>("eventAdapter", Qt::FindDirectChildrenOnly))
    return *existing;
  return *new TEventAdapter(control);
}

bool TEventAdapter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::FocusIn: {
    if (watched != FControl)
      break;
    // The first focus after the control was left is its entry, whatever brought it. Coming
    // back from a message box or a menu (the control was never left) is not one, nor being
    // handed the focus back by an exit handler that refused the value. A message box shown
    // while the focus moves here keeps the focus from arriving until the window is active
    // again: it then arrives as a reactivation, and is still the user's entry.
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    const bool comingBack = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
    const bool entry = !(comingBack && FEntered) && !FInExit && !FHandedBack;
    FEntered = true;
    FHandedBack = false;
    if (entry && OnEnter)
      RunHandler([this] { OnEnter(FControl); });
    break;
  }
  case QEvent::FocusOut: {
    if (watched != FControl)
      break;
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
      break;
    // Only a control that really had the focus is left; a focus change that an exit handler
    // overrides can take the focus from a control that never received it.
    if (!FEntered || FInExit || !OnExit) {
      FEntered = false;
      break;
    }
    FEntered = false;
    QPointer<TEventAdapter> self(this);
    FInExit = true;
    ++gExitDepth;
    struct TLeave {
      QPointer<TEventAdapter>& Self;
      ~TLeave() {
        --gExitDepth;
        if (Self)
          Self->FInExit = false;
      }
    } leave{self};
    RunHandler([this] { OnExit(FControl); });
    // An exit handler that gave the focus back while its message box had the activation: the
    // focus comes back to this control with the window's activation, and is no new entry.
    if (self && FControl->window()->focusWidget() == FControl &&
        QApplication::focusWidget() != FControl)
      FHandedBack = true;
    break;
  }
  case QEvent::KeyPress: {
    if (watched != FControl || !OnKeyPress || FResending)
      break;
    auto* key = static_cast<QKeyEvent*>(event);
    const QString text = key->text();
    if (text.isEmpty())
      break;
    const Qt::KeyboardModifiers chord =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    char16_t typed = text.at(0).unicode();
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
      typed = 0x0D;
    else if (key->key() == Qt::Key_Backspace)
      typed = 0x08;
    else if (chord || typed < 0x20 || typed == 0x7F)
      break; // shortcuts (copy, paste, select all) and other control keys are not typing
    char16_t changed = typed;
    // A key whose filter failed is not typed.
    if (!RunHandler([&] { OnKeyPress(FControl, changed); }))
      return true;
    if (changed == typed)
      break;
    if (changed != 0) {
      QKeyEvent replaced(QEvent::KeyPress, key->key(), key->modifiers(),
                         QString(QChar(changed)) + text.mid(1));
      Resend(replaced);
    }
    return true;
  }
  case QEvent::InputMethod: {
    if (watched != FControl || !OnKeyPress || FResending)
      break;
    auto* input = static_cast<QInputMethodEvent*>(event);
    // Pre-edit text alone is shown by the control and never part of its text: it passes.
    if (input->commitString().isEmpty() && input->replacementLength() == 0)
      break;
    CommitFiltered(*input);
    return true;
  }
  case QEvent::MouseMove: {
    if (!OnMouseMove)
      break;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (watched == FControl && FControl->childAt(mouse->position().toPoint()) == nullptr)
      RunHandler([this] { OnMouseMove(FControl); });
    break;
  }
  case QEvent::Enter:
    if (watched == FControl && OnMouseEnter)
      RunHandler([this] { OnMouseEnter(FControl); });
    break;
  case QEvent::Leave:
    if (watched == FControl && OnMouseLeave)
      RunHandler([this] { OnMouseLeave(FControl); });
    break;
  default:
    break;
  }
  return QObject::eventFilter(watched, event);
}

void TEventAdapter::Resend(QEvent& event) {
  FResending = true;
  QApplication::sendEvent(FControl, &event);
  FResending = false;
}

void TEventAdapter::CommitFiltered(const QInputMethodEvent& input) {
  QPointer<QWidget> control(FControl);
  // The entry goes on while the control keeps the window's focus; a key filter that ends it
  // (Enter, a full box) drops the rest of the commit, as the keys typed after it would not
  // reach the box either.
  auto entryGoesOn = [&] { return control && control->window()->focusWidget() == control; };
  if (input.replacementLength() != 0) {
    QInputMethodEvent replacement;
    replacement.setCommitString(QString(), input.replacementStart(), input.replacementLength());
    Resend(replacement);
  }
  const QString text = input.commitString();
  for (qsizetype i = 0; i < text.size() && entryGoesOn();) {
    const qsizetype units =
        text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2
                                                                                               : 1;
    QString piece = text.mid(i, units);
    i += units;
    const char16_t typed = piece.at(0).unicode();
    char16_t changed = typed;
    if (!RunHandler([&] { OnKeyPress(FControl, changed); }))
      changed = 0;
    if (changed == 0 || !entryGoesOn())
      continue;
    if (changed != typed)
      piece = QString(QChar(changed)) + piece.mid(1);
    // One character at a time, so the filter sees each one after the one before it.
    QInputMethodEvent one;
    one.setCommitString(piece);
    Resend(one);
  }
  if (entryGoesOn() && !input.preeditString().isEmpty()) {
    QInputMethodEvent preedit(input.preeditString(), input.attributes());
    Resend(preedit);
  }
}

void OnListClick(QComboBox* list, TNotifyEvent handler) {
  QObject::connect(list, &QComboBox::activated, list, [list, handler = std::move(handler)](int) {
    RunHandler([&] { handler(list); });
  });
}

void OnCheckClick(QCheckBox* box, TNotifyEvent handler) {
  QObject::connect(box, &QCheckBox::toggled, box, [box, handler = std::move(handler)](bool) {
    RunHandler([&] { handler(box); });
  });
}

void OnButtonClick(QAbstractButton* button, TNotifyEvent handler) {
  QObject::connect(
      button, &QAbstractButton::clicked, button,
      [button, handler = std::move(handler)](bool) { RunHandler([&] { handler(button); }); });
}

void OnMenuClick(QAction* item, TNotifyEvent handler) {
  QObject::connect(item, &QAction::triggered, item, [item, handler = std::move(handler)](bool) {
    RunHandler([&] { handler(item); });
  });
}

void OnTimer(QTimer* timer, TNotifyEvent handler) {
  QObject::connect(timer, &QTimer::timeout, timer,
                   [timer, handler = std::move(handler)] { RunHandler([&] { handler(timer); }); });
}

void KeepMenuShortcuts(QWidget* window) {
  new TShortcutKeeper(window);
}
