#include "app/bdmv/navigation_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <map>
#include <set>

#include "core/text.h"
#include "playlist/grid_text.h"

namespace morvex::app {

namespace {

enum Role { RoleKind = Qt::UserRole, RoleName, RoleNumber, RolePart, RoleButton };

QString q(const std::string& s) { return QString::fromStdString(s); }

QString lineText(int line) { return q("Line " + core::decimalText(uint64_t(std::max(line, 0)), 4)); }

QString titleName(uint32_t t) { return q(disc::entryLabel(t)); }

QString linkText(const disc::Link& l) {
  QString s;
  switch (l.kind) {
    case disc::LinkKind::JumpObject: s = QString("Jump Object %1").arg(l.object); break;
    case disc::LinkKind::CallObject: s = QString("Call Object %1").arg(l.object); break;
    case disc::LinkKind::JumpTitle: s = "Jump Title " + QString::number(l.title) + " (" + titleName(l.title) + ")"; break;
    case disc::LinkKind::CallTitle: s = "Call Title " + QString::number(l.title) + " (" + titleName(l.title) + ")"; break;
    case disc::LinkKind::PlayPlaylist: s = "Play PL " + q(l.playlist); break;
    case disc::LinkKind::PlayAtItem: s = QString("Play PL %1 at PlayItem %2").arg(q(l.playlist)).arg(l.playItem); break;
    case disc::LinkKind::PlayAtMark: s = QString("Play PL %1 at mark %2").arg(q(l.playlist)).arg(l.mark); break;
    case disc::LinkKind::SetPage: s = QString("SetButtonPage: page %1").arg(l.page); break;
    case disc::LinkKind::EnableButton: s = QString("EnableButton %1").arg(l.button); break;
  }
  return lineText(l.from.line) + ": " + s;
}

bool isPlay(disc::LinkKind k) {
  return k == disc::LinkKind::PlayPlaylist || k == disc::LinkKind::PlayAtItem || k == disc::LinkKind::PlayAtMark;
}

QString factsText(const disc::PlaylistFacts* f) {
  if (!f) return "not on the disc";
  if (!f->readable) return "not readable";
  QString s = q(playlist::ticks2time(uint32_t(f->duration))) +
              QString(", %1 PlayItems, %2 chapters, %3 video, %4 audio, %5 subtitle, %6 menu streams")
                  .arg(f->playItems)
                  .arg(f->chapters)
                  .arg(f->video)
                  .arg(f->audio)
                  .arg(f->subtitles)
                  .arg(f->menus);
  if (f->pages) s += QString(", a menu of %1 pages").arg(f->pages);
  return s;
}

void setPlace(QTreeWidgetItem* n, const ItemRef& place) {
  n->setData(0, RoleKind, int(place.kind) + 1);
  n->setData(0, RoleName, place.name);
  n->setData(0, RoleNumber, place.number);
  n->setData(0, RolePart, place.part);
  n->setData(0, RoleButton, place.button);
}

ItemRef objectPlace(int object, int line = -1) {
  ItemRef r;
  r.kind = ItemKind::MovieObject;
  r.number = object;
  r.part = line;
  return r;
}

// Builds the tree from the map, expanding each playlist and menu once per entry.
class NavigationNodeBuilder {
public:
  NavigationNodeBuilder(const disc::NavigationMap& map, const disc::NavigationDisc& disc, const std::filesystem::path& folder)
      : map_(map), disc_(disc), folder_(folder) {
    for (const auto& l : map.links) {
      if (l.from.kind == disc::Place::Kind::Object) byObject_[l.from.object].push_back(&l);
      else byButton_[{l.from.playlist, l.from.page, l.from.button}].push_back(&l);
    }
  }

  QTreeWidgetItem* node(QTreeWidgetItem* parent, const QString& text, const QString& detail = {}) {
    auto* n = new QTreeWidgetItem(parent, {text, detail});
    return n;
  }

  void entry(QTreeWidget* tree, const disc::EntryWalk& e) {
    auto* n = new QTreeWidgetItem(tree, {q(e.label)});
    QString detail;
    if (!e.hdmv) {
      detail = "BD-J object " + q(e.bdjObject);
    } else if (e.object < 0) {
      detail = "no movie object";
    } else {
      setPlace(n, objectPlace(e.object));
      detail = QString("movie object %1").arg(e.object);
      if (e.playlists.empty()) detail += ", plays nothing";
      else detail += QString(", plays %1 playlists; feature %2").arg(e.playlists.size()).arg(q(e.feature));
      if (e.loops) detail += "; loops";
      if (e.truncated) detail += "; walk cut short";
    }
    n->setText(1, detail);
    expanded_.clear();
    feature_ = e.feature;
    for (int o : e.objects) object(n, o);
  }

  void object(QTreeWidgetItem* parent, int o) {
    auto* n = node(parent, QString("Movie object %1").arg(o));
    setPlace(n, objectPlace(o));
    auto it = byObject_.find(o);
    if (it == byObject_.end()) return;
    for (const auto* l : it->second) link(n, *l);
  }

  void link(QTreeWidgetItem* parent, const disc::Link& l) {
    auto* n = node(parent, linkText(l), l.uncertain ? "depends on a value the walk cannot know" : QString());
    if (l.from.kind == disc::Place::Kind::Object) setPlace(n, objectPlace(l.from.object, l.from.line));
    else setPlace(n, menuPlace(l.from.playlist, l.from.page, l.from.button));
    if (isPlay(l.kind)) playlist(n, l.playlist, l.kind == disc::LinkKind::PlayAtItem ? int(l.playItem) : -1);
  }

  void playlist(QTreeWidgetItem* parent, const std::string& name, int playItem = -1) {
    const auto* f = map_.facts(name);
    QString detail = factsText(f);
    if (name == feature_) detail = "feature; " + detail;
    auto* n = node(parent, "Playlist " + q(name), detail);
    ItemRef r;
    r.kind = ItemKind::Playlist;
    r.name = q(name);
    r.part = playItem;
    setPlace(n, r);
    if (!expanded_.insert(name).second) return;  // shown once per entry
    for (const auto& [pl, page] : map_.pagesShown)
      if (pl == name) menuPage(n, name, page);
  }

  // The menu of `playlist` in its stream file, opened on `page` with `button` selected.
  ItemRef menuPlace(const std::string& playlist, int page = -1, int button = -1) const {
    ItemRef r;
    r.kind = ItemKind::Menu;
    r.part = page;
    r.button = button;
    auto it = disc_.menuSources.find(playlist);
    if (it != disc_.menuSources.end()) {
      r.name = q((folder_ / it->second.stream).string());
      r.number = it->second.pid;
    }
    return r;
  }

  void menuPage(QTreeWidgetItem* parent, const std::string& playlist, int page) {
    auto* n = node(parent, QString("Menu page %1").arg(page));
    setPlace(n, menuPlace(playlist, page));
    for (const auto& b : map_.buttonsRun) {
      if (b.playlist != playlist || b.page != page) continue;
      auto* bn = node(n, QString("Button %1").arg(b.button));
      setPlace(bn, menuPlace(playlist, page, b.button));
      auto it = byButton_.find({b.playlist, b.page, b.button});
      if (it == byButton_.end()) continue;
      for (const auto* l : it->second) link(bn, *l);
    }
  }

private:
  const disc::NavigationMap& map_;
  const disc::NavigationDisc& disc_;
  std::filesystem::path folder_;
  std::map<int, std::vector<const disc::Link*>> byObject_;
  std::map<std::tuple<std::string, int, int>, std::vector<const disc::Link*>> byButton_;
  std::set<std::string> expanded_;
  std::string feature_;
};

}  // namespace

NavigationDialog::NavigationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("navigationDialog");
  setWindowTitle("Navigation");
  resize(900, 620);
  auto* lay = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("navigationSummaryLabel");
  summary_->setWordWrap(true);
  lay->addWidget(summary_);
  tree_ = new QTreeWidget(this);
  tree_->setObjectName("navigationTree");
  tree_->setColumnCount(2);
  tree_->setHeaderLabels({"Place", "What it is"});
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  lay->addWidget(tree_, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  lay->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  // itemActivated: a double-click, or Enter on the current node.
  connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* node) {
    ItemRef place;
    if (placeOf(node, place)) Q_EMIT placeActivated(place);
  });
}

bool NavigationDialog::placeOf(const QTreeWidgetItem* node, ItemRef& place) {
  if (!node) return false;
  const int kind = node->data(0, RoleKind).toInt();
  if (kind == 0) return false;
  place.kind = ItemKind(kind - 1);
  place.name = node->data(0, RoleName).toString();
  place.number = node->data(0, RoleNumber).toInt();
  place.part = node->data(0, RolePart).toInt();
  place.button = node->data(0, RoleButton).toInt();
  return true;
}

void NavigationDialog::showFailure(const QString& why) {
  tree_->clear();
  summary_->setText(why);
}

void NavigationDialog::showMap(const disc::NavigationMap& map, const disc::NavigationDisc& disc,
                               const std::filesystem::path& folder) {
  tree_->clear();
  NavigationNodeBuilder b(map, disc, folder);
  QStringList features;
  for (const auto& e : map.entries) {
    b.entry(tree_, e);
    if (e.title != 0 && e.title != nav::kFirstPlaybackNumber && !e.feature.empty())
      features << QString("%1: %2").arg(q(e.label), q(e.feature));
  }
  auto* un = new QTreeWidgetItem(tree_, {QString("Unreachable playlists (%1)").arg(map.unreachablePlaylists.size())});
  for (const auto& p : map.unreachablePlaylists) {
    auto* n = new QTreeWidgetItem(un, {"Playlist " + q(p), factsText(map.facts(p))});
    ItemRef r;
    r.kind = ItemKind::Playlist;
    r.name = q(p);
    setPlace(n, r);
  }
  auto* uo = new QTreeWidgetItem(tree_, {QString("Movie objects nothing runs (%1)").arg(map.unreachableObjects.size())});
  for (int o : map.unreachableObjects) setPlace(new QTreeWidgetItem(uo, {QString("Movie object %1").arg(o)}), objectPlace(o));
  auto* ub = new QTreeWidgetItem(tree_, {QString("Buttons that never run (%1)").arg(map.buttonsNeverRun.size())});
  for (const auto& bt : map.buttonsNeverRun)
    setPlace(new QTreeWidgetItem(ub, {QString("Playlist %1, page %2, button %3").arg(q(bt.playlist)).arg(bt.page).arg(bt.button)}),
             b.menuPlace(bt.playlist, bt.page, bt.button));
  for (int i = 0; i < tree_->topLevelItemCount(); ++i) tree_->topLevelItem(i)->setExpanded(true);
  summary_->setText(QString("%1 titles. Features: %2. %3 of %4 playlists nothing reaches.")
                        .arg(map.entries.size() - 2)
                        .arg(features.isEmpty() ? QString("none") : features.join(", "))
                        .arg(map.unreachablePlaylists.size())
                        .arg(map.playlists.size()));
}

}  // namespace morvex::app
