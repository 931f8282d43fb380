#include "app/menu/page_view_panel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/menu/picture_widget.h"

namespace morvex::app {

PageViewPanel::PageViewPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("pageViewTab");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(3);
  auto* row = new QHBoxLayout();
  row->setSpacing(8);
  auto box = [this, row](const char* name, const char* caption) {
    auto* c = new QCheckBox(caption, this);
    c->setObjectName(name);
    row->addWidget(c);
    connect(c, &QCheckBox::clicked, this, [this] { Q_EMIT optionsToggled(); });
    return c;
  };
  fullScreen_ = box("fullScreenCheck", "Show Full Screen");
  buttonId_ = box("showButtonIdCheck", "Show Button ID");
  objectId_ = box("showObjectIdCheck", "Show Object ID");
  buttonFrame_ = box("showButtonFrameCheck", "Show Button frame");
  windowFrame_ = box("showWindowFrameCheck", "Show Window frame");
  playSound_ = box("playSoundCheck", "Play button sound");
  row->addStretch(1);
  missing_ = new QLabel("objects missing: buttons drawn as placeholders", this);
  missing_->setObjectName("objectsMissingLabel");
  missing_->setToolTip("The menu names objects it does not carry (a composition read without its pictures).\n"
                       "Each such button is drawn as a marker with its id at its position.");
  missing_->setStyleSheet("QLabel { color: white; background: #b03030; padding: 1px 6px; font-weight: bold; }");
  missing_->hide();
  row->addWidget(missing_);
  lay->addLayout(row);
  picture_ = new PictureWidget(this);
  picture_->setObjectName("pagePicture");
  lay->addWidget(picture_, 1);
}

void PageViewPanel::setObjectsMissing(bool missing) { missing_->setVisible(missing); }

}  // namespace morvex::app
