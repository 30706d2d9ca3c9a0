// TODO(link): placeholder until the programmer link lands.
#include "ui/Frmmain.h"

#include <QTimer>

void TfmMain::WireLink() {}
void TfmMain::RefreshPortList() {}
void TfmMain::cboPortClick(QObject*) {}
void TfmMain::btnLinkClick(QObject*) {}
void TfmMain::Timer2Timer() {}
void TfmMain::mnuReadClick(QObject*) {}
void TfmMain::mnuWriteClick(QObject*) {}
void TfmMain::mnuVerfyClick(QObject*) {}
void TfmMain::SetPollEnabled(bool on) {
  if (on)
    Timer2->start();
  else
    Timer2->stop();
}
