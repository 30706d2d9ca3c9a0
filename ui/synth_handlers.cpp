// TODO(synth): placeholder until the synthesizer panel lands.
#include "ui/Frmmain.h"

void TfmMain::WireSynth() {}
void TfmMain::UnpackRegisters() {}
void TfmMain::PackRegisters() {}
void TfmMain::FillRegisterGrid() {}
void TfmMain::ShowRegisterControls() {}
void TfmMain::ShowFrequency() {}
void TfmMain::LoadSynthIni() {}
void TfmMain::SaveSynthIni() {}
void TfmMain::edtFreqKeyPress(QObject*, char16_t&) {}
void TfmMain::edtFreqExit(QObject*) {}
void TfmMain::chkRF_PDClick(QObject*) {}
void TfmMain::chkRF_RSTClick(QObject*) {}
void TfmMain::chkIF_PDClick(QObject*) {}
void TfmMain::chkIF_RSTClick(QObject*) {}
void TfmMain::chkATPUClick(QObject*) {}
void TfmMain::chkOSC_2XClick(QObject*) {}
void TfmMain::chkOSC_OUTClick(QObject*) {}
void TfmMain::chkDIV4Click(QObject*) {}
void TfmMain::cboAccessClick(QObject*) {}
void TfmMain::cboMUXClick(QObject*) {}
void TfmMain::cboFMClick(QObject*) {}
void TfmMain::cboDITHClick(QObject*) {}
void TfmMain::cboRF_CPFClick(QObject*) {}
void TfmMain::cboN_CSRClick(QObject*) {}
void TfmMain::cboRF_CPGClick(QObject*) {}
void TfmMain::edtRF_TOCExit(QObject*) {}
void TfmMain::StringGrid1SelectCell(int, int, bool&) {}
