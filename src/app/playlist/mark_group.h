#pragma once
// The PlayListMarks group of the PLAYLIST tab: the marks with the type, PlayItem and
// time of the selected one, and chapter files, which replace the marks or are written
// from them.
#include <QGroupBox>
#include <functional>

#include "app/playlist/playlist_edits.h"
#include "app/shell/app_context.h"
#include "playlist/chapters.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace morvex::app {

class MarkGroup : public QGroupBox {
  Q_OBJECT
public:
  MarkGroup(AppContext& ctx, PlaylistEdits& edit, QWidget* parent = nullptr);
  // The PlayItem selected on the tab: "+" puts a new mark at its IN time.
  std::function<int()> selectedPlayItem;

  // Shows the model, keeping the selected mark where it can.
  void showModel();
  // Shows the marks and the selected one's fields anew.
  void showSelected();
  // Empties the table and the fields (no playlist).
  void clear();
  // Enables what the state allows (a playlist read or not, marks or none).
  void updateEnabled();

  // Replaces the marks by the chapters of a file; a refused file changes nothing.
  bool loadChapters(const QString& path, playlist::ChapterFormat format);
  // Writes the marks as a chapter file.
  bool saveChapters(const QString& path, playlist::ChapterFormat format);

signals:
  // Marks came or went: what depends on their number is enabled anew.
  void countChanged();

protected:
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildUi();
  void connectEditors();
  void showMarks();
  void showMarkRow(int i);
  void showMarkFields(int i);
  int selectedMark() const;
  void markTimeEdited();
  void insertMark();
  void deleteMarks();

  playlist::Playlist& m() { return edit_.model(); }
  const playlist::Playlist& m() const { return edit_.model(); }

  AppContext& ctx_;
  PlaylistEdits& edit_;
  bool filling_ = false;
  // The user typed into the time fields since they last showed a mark: "+" puts the
  // new mark at that time instead of moving the selected one there.
  bool timeTyped_ = false;

  QTableWidget* marks_;
  QComboBox* markType_;
  QLineEdit *markPlayItem_, *hours_, *minutes_, *seconds_, *milliseconds_;
  QPushButton *insertButton_, *deleteButton_;
};

}  // namespace morvex::app
