// TODO(editors): placeholder until the settings editors land.
#include "ui/Frmmain.h"

void TfmMain::WireSettings() {}
void TfmMain::cboBaudClick(QObject*) {}
void TfmMain::cboPolarityClick(QObject*) {}
void TfmMain::chkKeyBeepClick(QObject*) {}
void TfmMain::edtRepeatTimesEnter(QObject*) {}
void TfmMain::edtRepeatTimesKeyPress(QObject*, char16_t&) {}
void TfmMain::edtRepeatTimesExit(QObject*) {}
void TfmMain::edtWaitTimeExit(QObject*) {}
void TfmMain::cboPCCommandClick(QObject*) {}
void TfmMain::chkKeyModeClick(QObject*) {}
void TfmMain::edtHeaderCodeKeyPress(QObject*, char16_t&) {}
void TfmMain::edtHeaderCodeExit(QObject*) {}
void TfmMain::cboSetClick(QObject*) {}
void TfmMain::cboKey0Click(QObject*) {}
