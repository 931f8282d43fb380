#include "app/widgets/read_banner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "app/shell/document.h"

namespace morvex::app {

QString readBannerText(const Document& doc, bool partialReadOnly) {
  const auto& r = doc.readResult();
  const QString why = QString::fromStdString(r.summary());
  if (r.refused())
    return doc.name() + " could not be read (" + why +
           "). It is shown read-only and is never written; the other files can still be edited and saved.";
  if (r.partial() && partialReadOnly)
    return doc.name() + " was read only in part (" + why +
           "). It is shown read-only: writing it back would lose what the reader did not reach.";
  if (r.partial() && !doc.savingAllowed())
    return doc.name() + " was read only in part (" + why +
           "). Saving it writes only what was read and the rest of the original is lost, so Save leaves it "
           "alone until you allow it.";
  return {};
}

ReadBanner::ReadBanner(Document& doc, const QString& objectName, QWidget* parent) : QWidget(parent), doc_(&doc) {
  setObjectName(objectName);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  text_ = new QLabel(this);
  text_->setObjectName(objectName + "Label");
  text_->setWordWrap(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text_->setStyleSheet("QLabel { background: #fff0c0; color: #802000; padding: 2px 6px; }");
  allow_ = new QPushButton("Allow saving", this);
  allow_->setObjectName(objectName + "AllowButton");
  allow_->setToolTip("Save writes only what could be read; the rest of the original file is lost.");
  log_ = new QPushButton("Open the log", this);
  log_->setObjectName(objectName + "LogButton");
  log_->setToolTip("Show the lines the reader wrote");
  row->addWidget(text_, 1);
  row->addWidget(allow_);
  row->addWidget(log_);
  connect(allow_, &QPushButton::clicked, this, [this] {
    if (doc_) doc_->allowSaving();
  });
  connect(log_, &QPushButton::clicked, this, &ReadBanner::logWanted);
  connect(&doc, &Document::readStateChanged, this, &ReadBanner::refresh);
  refresh();
}

QString ReadBanner::text() const { return isHidden() ? QString() : text_->text(); }

void ReadBanner::refresh() {
  const QString t = doc_ ? readBannerText(*doc_, partialReadOnly_) : QString();
  text_->setText(t);
  allow_->setVisible(doc_ && doc_->partial() && !doc_->savingAllowed() && !partialReadOnly_);
  allow_->setAccessibleName("Allow saving " + (doc_ ? doc_->name() : QString()));
  log_->setAccessibleName("Open the log about " + (doc_ ? doc_->name() : QString()));
  setVisible(!t.isEmpty());
}

}  // namespace morvex::app
