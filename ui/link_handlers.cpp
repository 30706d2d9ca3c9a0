// The programmer link in the window: the port selector, the link button, the presence poll and
// the Pager menu.

#include "ui/Frmmain.h"

#include "link/link_operations.h"
#include "ui/message_box.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

void TfmMain::WireLink() {
  TLinkHost& host = LinkHost;
  host.DispatchEvents = [] { QCoreApplication::processEvents(); };
  host.SetStatus = [this](int panel, const std::string& text) {
    SetStatusText(panel, QString::fromStdString(text));
  };
  host.SetProgressRange = [this](int maximum) { PB1->setRange(0, maximum); };
  host.SetProgress = [this](int position) { PB1->setValue(position); };
  host.Progress = [this] { return PB1->value(); };
  host.Message = [](const std::string& text) { ShowMessage(QString::fromStdString(text)); };
  host.EnableWindow = [this](bool on) { setEnabled(on); };
  host.EnablePagerMenu = [this](bool on) { EnablePagerMenu(on); };
  host.EnableLinkButton = [this](bool on) { btnLink->setEnabled(on); };
  host.SetPoll = [this](bool on) { SetPollEnabled(on); };
  host.SetIdentification = [this](const std::string& line) {
    lblPID->setText(QString::fromStdString(line));
  };
  CompleteHost(host);

  OnTimer(Timer2, [this](QObject*) { Timer2Timer(); });
  OnButtonClick(btnLink, [this](QObject* s) { btnLinkClick(s); });
  OnListClick(cboPort, [this](QObject* s) { cboPortClick(s); });
}

void TfmMain::EnablePagerMenu(bool on) {
  // A disabled menu does not stop its items' shortcuts: the items follow the menu.
  mnuPager->setEnabled(on);
  for (QAction* action : {mnuRead, mnuWrite, mnuVerfy})
    action->setEnabled(on);
}

void TfmMain::SetPollEnabled(bool on) {
  if (on)
    Timer2->start();
  else
    Timer2->stop();
}

void TfmMain::RefreshPortList() {
  ::RefreshPortList(Process.Link.Ports);
}

void TfmMain::cboPortClick(QObject*) {
  Process.Link.SelectedPort = cboPort->currentIndex();
}

void TfmMain::btnLinkClick(QObject*) {
  LinkEncoder(Process.Link, LinkHost);
  ExchangeEnded();
}

void TfmMain::Timer2Timer() {
  const TPollResult result = PresencePoll(Process.Link, LinkHost);
  switch (result.Outcome) {
  case TPollOutcome::Busy:
  case TPollOutcome::Unchanged:
    return;
  case TPollOutcome::Present:
    PageControl1->setVisible(true);
    EnablePagerMenu(true);
    mnuOpen->setEnabled(true);
    SetStatusText(2, QString::fromStdString(IdentificationLine(Process.Link.Identification)));
    break;
  case TPollOutcome::Absent:
    groupKeyDefine->move(groupKeyDefine->x(), GroupBox1->geometry().bottom() + 1 + 10);
    // The page control stays 10 pixels below the group wherever the group goes.
    PlacePageControl();
    PageControl1->setVisible(true);
    SetStatusText(1, QString::fromStdString(result.Status));
    SetStatusText(2, "");
    lblPID->setText("");
    EnablePagerMenu(false);
    break;
  }
  SetPollEnabled(true);
  ExchangeEnded();
}

void TfmMain::mnuReadClick(QObject*) {
  ReadEncoder(Process.Link, LinkHost, Image, [this] {
    Rendering = true;
    RenderImage();
    Rendering = false;
  });
  ExchangeEnded();
}

void TfmMain::mnuWriteClick(QObject*) {
  if (Process.Link.Busy)
    return;
  // The control being edited stores its value before anything is sent.
  FocusNull();
  WriteEncoder(Process.Link, LinkHost, Image);
  ExchangeEnded();
}

void TfmMain::mnuVerfyClick(QObject*) {
  VerifyEncoder(Process.Link, LinkHost, Image);
  ExchangeEnded();
}

bool TfmMain::PutOffCloseDuringExchange() {
  if (!Process.Link.Busy)
    return false;
  CloseWhenIdle = true;
  return true;
}

void TfmMain::ExchangeEnded() {
  // A handler refused because another exchange runs ends here too; only the outermost one
  // may close.
  if (CloseWhenIdle && !Process.Link.Busy) {
    CloseWhenIdle = false;
    close();
  }
}
