#include "ui/Frmabout.h"

#include "ui/application.h"
#include "ui/event_adapter.h"

#include <QDesktopServices>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifndef KX470_WEB_URL
#define KX470_WEB_URL "https://www.kx470u.example.com"
#endif
#ifndef KX470_EMAIL
#define KX470_EMAIL "support@kx470u.example.com"
#endif

namespace {

QFont PixelFont(const QString& family, int pixels, bool bold = false) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(font);
  return label;
}

} // namespace

TfmAbout::TfmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName("fmAbout");
  setWindowTitle("About");
  // Only the close box among the border icons.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);

  Panel1 = new QFrame(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFrameShape(QFrame::Panel);
  Panel1->setFrameShadow(QFrame::Sunken); // lowered outer bevel
  Panel1->setLineWidth(2);
  Panel1->setMidLineWidth(1);

  ProductName = MakeLabel(Panel1, "ProductName", "KX470U", PixelFont("Arial", 16, true));
  Version = MakeLabel(Panel1, "Version", "Version 1.2.7(2024.05.21)", PixelFont("Courier New", 12));
  Label2 = MakeLabel(Panel1, "Label2", "Homepage : ", PixelFont("Arial", 12));
  Label1 = MakeLabel(Panel1, "Label1", "Email Address(es) : ", PixelFont("Arial", 12));
  QFont link = PixelFont("Times New Roman", 16);
  link.setUnderline(true);
  lblUrl = MakeLabel(Panel1, "lblUrl", WebAddress(), link);
  lblEmail = MakeLabel(Panel1, "lblEmail", EmailAddress(), link);
  for (QLabel* plain : {Label1, Label2}) {
    QPalette palette = plain->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    plain->setPalette(palette);
  }
  for (QLabel* target : {lblUrl, lblEmail}) {
    QPalette palette = target->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    target->setPalette(palette);
    target->setCursor(Qt::PointingHandCursor);
    target->installEventFilter(this);
    TEventAdapter& events = TEventAdapter::Of(target);
    events.OnMouseEnter = [this](QObject* s) { LinkMouseEnter(s); };
    events.OnMouseLeave = [this](QObject* s) { LinkMouseLeave(s); };
  }

  auto* grid = new QGridLayout(Panel1);
  grid->setContentsMargins(16, 12, 16, 12);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(8);
  grid->addWidget(ProductName, 0, 0, 1, 2);
  grid->addWidget(Version, 1, 0, 1, 2);
  grid->addWidget(Label2, 2, 0);
  grid->addWidget(lblUrl, 2, 1);
  grid->addWidget(Label1, 3, 0);
  grid->addWidget(lblEmail, 3, 1);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  OKButton->setAutoDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Panel1);
  layout->addWidget(OKButton, 0, Qt::AlignHCenter);
  layout->setSizeConstraint(QLayout::SetFixedSize); // sized to its content
}

QString TfmAbout::WebAddress() const {
  return QStringLiteral(KX470_WEB_URL);
}
QString TfmAbout::EmailAddress() const {
  return QStringLiteral(KX470_EMAIL);
}

void TfmAbout::lblUrlClick(QObject*) {
  // Whether a program opens the address is the desktop's business; nothing is reported.
  QDesktopServices::openUrl(QUrl(WebAddress()));
}

void TfmAbout::lblEmailClick(QObject*) {
  QDesktopServices::openUrl(QUrl("mailto:" + EmailAddress()));
}

void TfmAbout::LinkMouseEnter(QObject* Sender) {
  auto* label = qobject_cast<QLabel*>(Sender);
  QFont font = label->font();
  font.setBold(true);
  font.setUnderline(true);
  label->setFont(font);
}

void TfmAbout::LinkMouseLeave(QObject* Sender) {
  auto* label = qobject_cast<QLabel*>(Sender);
  QFont font = label->font();
  font.setBold(false);
  font.setUnderline(true);
  label->setFont(font);
}

bool TfmAbout::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == lblUrl)
      RunHandler([this] { lblUrlClick(lblUrl); });
    else if (watched == lblEmail)
      RunHandler([this] { lblEmailClick(lblEmail); });
  }
  return QDialog::eventFilter(watched, event);
}
