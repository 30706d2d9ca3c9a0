// TODO(editors): placeholder until the capcode editor lands.
#include "ui/Frmmain.h"

void TfmMain::WireCapcodes() {}
void TfmMain::edtCap0Exit(QObject*) {}
void TfmMain::edtCap0KeyPress(QObject*, char16_t&) {}
void TfmMain::cboType0Click(QObject*) {}
void TfmMain::cboFun0Click(QObject*) {}
void TfmMain::memMsg0KeyPress(QObject*, char16_t&) {}
void TfmMain::memMsg0Exit(QObject*) {}
void TfmMain::StoreMessage(int) {}
QString TfmMain::DecodeBinaryRecord(const std::uint8_t*, std::size_t) const { return {}; }
