#pragma once
// A row on a tab that says a file of the tab was refused or read only in part: the
// file, what the reader found, and what the user can do. A refused file is shown
// read-only and never written; a partial one is written only after "Allow saving".
// "Open the log" shows every line the reader wrote. The row hides itself while the
// document's file was read whole (or once saving it was allowed).
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace morvex::app {

class Document;

class ReadBanner : public QWidget {
  Q_OBJECT
public:
  // `objectName` names the row ("indexReadBanner"); its label and buttons take the
  // same name with their kinds.
  ReadBanner(Document& doc, const QString& objectName, QWidget* parent = nullptr);

  // The message shown (empty while hidden).
  QString text() const;
  // Shows the document's state anew (the owner calls it after a read).
  void refresh();
  // A tab that shows a partial file read-only (the clip information) offers no
  // "Allow saving" and says so.
  void setPartialReadOnly(bool on) {
    partialReadOnly_ = on;
    refresh();
  }

signals:
  void logWanted();

private:
  QPointer<Document> doc_;
  QLabel* text_;
  QPushButton* allow_;
  QPushButton* log_;
  bool partialReadOnly_ = false;
};

// The sentence a banner shows for `doc` (empty when its file was read whole or its
// saving was allowed).
QString readBannerText(const Document& doc, bool partialReadOnly = false);

}  // namespace morvex::app
