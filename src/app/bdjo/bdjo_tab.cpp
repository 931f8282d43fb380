#include "app/bdjo/bdjo_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/widgets/grid.h"
#include "app/shell/qt_text.h"

namespace morvex::app {

namespace {


QStringList header(const std::vector<std::string>& captions) {
  QStringList h{QString()};  // the row number
  for (const auto& c : captions) h << toQt(c);
  return h;
}

// A check box that shows a flag of the file. The tab edits nothing, so the box looks
// as read-only as it is: disabled, its state still shown.
QCheckBox* flagBox(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QCheckBox(caption, parent);
  b->setObjectName(name);
  b->setEnabled(false);
  return b;
}

// A read-only field looks like one: the window's colour behind the text, which can
// still be selected and copied.
void lookReadOnly(QLineEdit* e) {
  e->setReadOnly(true);
  QPalette p = e->palette();
  p.setColor(QPalette::Base, p.color(QPalette::Window));
  e->setPalette(p);
}

QLineEdit* field(const char* name, int chars, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  lookReadOnly(e);
  e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QString(chars + 2, QChar('M'))));
  return e;
}

// Fills a table with the engine's rows; at least one blank row stays, and the table is
// enabled only when it has entries.
void fillTable(QTableWidget* t, const bdj::GridRows& rows) {
  t->clearContents();
  t->setRowCount(std::max<int>(1, int(rows.size())));
  for (int r = 0; r < int(rows.size()); ++r)
    for (int c = 0; c < int(rows[size_t(r)].size()) && c < t->columnCount(); ++c)
      setCell(t, r, c, toQt(rows[size_t(r)][size_t(c)]));
  t->setEnabled(!rows.empty());
}

}  // namespace

BdjoTab::BdjoTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("bdjoTab");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);

  // The object selector and Read.
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("BD-J object:", this));
  list_ = makeList("bdjoChoice", {}, "BD-J objects of the BDJO folder", this);
  list_->setMinimumContentsLength(8);
  top->addWidget(list_);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("readBdjoButton");
  read_->setEnabled(false);
  top->addWidget(read_);
  top->addSpacing(16);
  top->addWidget(new QLabel("FileAccessInfo:", this));
  paths_ = new QLineEdit(this);
  paths_->setObjectName("bdjoPathsField");
  lookReadOnly(paths_);
  paths_->setToolTip("Directory paths");
  top->addWidget(paths_, 1);
  outer->addLayout(top);

  // TerminalInfo, the cache and the accessible playlists side by side.
  auto* row1 = new QHBoxLayout();
  auto* term = new QGroupBox("TerminalInfo", this);
  auto* tl = new QGridLayout(term);
  tl->addWidget(new QLabel("Default font ", term), 0, 0);
  font_ = field("bdjoFontField", 5, term);
  tl->addWidget(font_, 0, 1);
  tl->addWidget(new QLabel("Initial HAVi configuration id", term), 1, 0);
  havi_ = field("bdjoHaviField", 2, term);
  tl->addWidget(havi_, 1, 1);
  menuCall_ = flagBox("xBdjoMenuCall", "Menu call mask", term);
  titleSearch_ = flagBox("xBdjoTitleSearch", "Title search mask", term);
  tl->addWidget(menuCall_, 2, 0, 1, 2);
  tl->addWidget(titleSearch_, 3, 0, 1, 2);
  tl->setRowStretch(4, 1);
  row1->addWidget(term);

  auto* cacheBox = new QGroupBox("AppCacheInfo", this);
  auto* cl = new QVBoxLayout(cacheBox);
  cache_ = makeTable("tBdjoCache", header(bdj::kHeadAppCache), {30, 70, 80, 70}, cacheBox);
  cache_->setToolTip("CacheInfo");
  cl->addWidget(cache_);
  row1->addWidget(cacheBox, 1);

  auto* plBox = new QGroupBox("TableOfAccessiblePlayLists", this);
  auto* pl = new QVBoxLayout(plBox);
  auto* plFlags = new QHBoxLayout();
  accessAll_ = flagBox("xBdjoAccessAll", "Acces to all", plBox);
  autostart_ = flagBox("xBdjoAutostart", "Autostart first PL", plBox);
  plFlags->addWidget(accessAll_);
  plFlags->addWidget(autostart_);
  plFlags->addStretch(1);
  pl->addLayout(plFlags);
  playlists_ = makeTable("tBdjoPlaylists", header(bdj::kHeadPlayLists), {30, 70}, plBox);
  playlists_->setToolTip("Accessible PlayLists");
  pl->addWidget(playlists_);
  row1->addWidget(plBox, 1);
  outer->addLayout(row1, 2);

  // The application management table and the selected application's details.
  auto* amt = new QGroupBox("ApplicationManagementTable", this);
  auto* al = new QVBoxLayout(amt);
  apps_ = makeTable("tBdjoApps", header(bdj::kHeadApplications),
                    {30, 36, 36, 80, 50, 36, 40, 36, 40, 70, 70, 90, 110, 30, 30, 30}, amt);
  apps_->setToolTip("ApplicationManagementTable");
  apps_->setSelectionMode(QAbstractItemView::SingleSelection);
  al->addWidget(apps_, 2);
  auto* details = new QHBoxLayout();
  profiles_ = makeTable("tBdjoProfiles", header(bdj::kHeadProfiles), {30, 60, 70}, amt);
  profiles_->setToolTip("Profiles");
  names_ = makeTable("tBdjoNames", header(bdj::kHeadNames), {30, 40, 160}, amt);
  names_->setToolTip("Names");
  params_ = makeTable("tBdjoParams", header(bdj::kHeadParameters), {30, 160}, amt);
  params_->setToolTip("Parameters");
  details->addWidget(profiles_, 1);
  details->addWidget(names_, 2);
  details->addWidget(params_, 2);
  al->addLayout(details, 1);
  outer->addWidget(amt, 3);

  // KeyInterestTable: one box per flag bit.
  auto* keyBox = new QGroupBox("KeyInterestTable", this);
  auto* kl = new QGridLayout(keyBox);
  int i = 0;
  for (const auto& f : bdj::keyInterestFlags()) {
    auto* b = flagBox("keyInterestCheck", f.caption, keyBox);
    b->setObjectName(QString("keyInterestCheck%1").arg(f.bit));
    kl->addWidget(b, i / 6, i % 6);
    keys_ << b;
    ++i;
  }
  outer->addWidget(keyBox);

  connect(read_, &QPushButton::clicked, this, [this] { readSelected(); });
  connect(apps_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr) {
    if (r != pr) showApplication(r);
  });
  connect(playlists_, &QTableWidget::cellDoubleClicked, this, [this](int r) { openPlaylist(r); });
  connect(&ctx_.session, &DiscSession::loaded, this, [this] { fillList(); });
  connect(&ctx_.session, &DiscSession::cleared, this, [this] { fillList(); });
  clearPage();
}

TabRules BdjoTab::rules() const {
  TabRules r;
  r.saveShown = true;  // shown but never enabled: BD-J objects are not written
  r.saveEnabled = false;
  return r;
}

void BdjoTab::activated() {
  if (ctx_.settings.autoRead && !shown_ && read_->isEnabled()) readSelected();
}

void BdjoTab::resetForLoad() {
  shown_ = false;
  shownName_.clear();
  model_ = {};
  clearPage();
}

void BdjoTab::fillList() {
  resetForLoad();
  list_->clear();
  if (ctx_.session.isLoaded())
    for (const auto& n : ctx_.session.disc().bdjObjects) list_->addItem(toQt(n));
  list_->setEnabled(list_->count() > 0);
  read_->setEnabled(list_->count() > 0);
}

void BdjoTab::clearPage() {
  font_->clear();
  havi_->clear();
  paths_->clear();
  for (auto* b : {menuCall_, titleSearch_, accessAll_, autostart_}) b->setChecked(false);
  for (auto* b : keys_) b->setChecked(false);
  for (auto* t : {cache_, playlists_, apps_, profiles_, names_, params_}) fillTable(t, {});
}

bool BdjoTab::readSelected() {
  const QString name = list_->currentText();
  if (!ctx_.session.isLoaded() || name.isEmpty()) return false;
  model_ = {};
  const auto file = ctx_.session.folder() / "BDJO" / (name.toStdString() + ".bdjo");
  const core::ReadResult st = bdj::readBdjObjectFile(file, model_, *ctx_.log);
  // A refused file shows empty tables; a partial one shows what was read before the
  // end (the reader keeps it and has logged the error).
  shown_ = st.usable();
  shownName_ = name;
  fillPage();
  list_->setFocus();
  ctx_.log->statusReady();
  return st.usable();
}

void BdjoTab::fillPage() {
  clearPage();
  const auto& t = model_.terminalInfo;
  font_->setText(toQt(t.defaultFont));
  havi_->setText(model_.typeIndicator.empty() ? QString()
                                                : QString::number(t.initialHaviConfigurationId, 16).toUpper());
  menuCall_->setChecked(t.menuCallMask);
  titleSearch_->setChecked(t.titleSearchMask);
  fillTable(cache_, bdj::appCacheRows(model_));
  accessAll_->setChecked(model_.accessiblePlaylists.accessToAll);
  autostart_->setChecked(model_.accessiblePlaylists.autostartFirstPlaylist);
  fillTable(playlists_, bdj::playListRows(model_));
  fillTable(apps_, bdj::applicationRows(model_));
  const auto& flags = bdj::keyInterestFlags();
  for (int i = 0; i < keys_.size() && i < int(flags.size()); ++i)
    keys_[i]->setChecked((model_.keyInterest >> flags[size_t(i)].bit) & 1u);
  paths_->setText(toQt(model_.directoryPaths));
  const bool anyApp = !model_.applicationTable.applications.empty();
  if (anyApp) apps_->setCurrentCell(0, 0);
  showApplication(anyApp ? 0 : -1);
}

void BdjoTab::showApplication(int row) {
  const auto& apps = model_.applicationTable.applications;
  if (row < 0 || row >= int(apps.size())) {
    for (auto* t : {profiles_, names_, params_}) fillTable(t, {});
    return;
  }
  const auto& a = apps[size_t(row)];
  fillTable(profiles_, bdj::profileRows(a));
  fillTable(names_, bdj::nameRows(a));
  fillTable(params_, bdj::parameterRows(a));
}

void BdjoTab::openPlaylist(int row) {
  const auto& names = model_.accessiblePlaylists.playlists;
  if (row < 0 || row >= int(names.size())) return;
  Q_EMIT itemWanted(ItemRef{ItemKind::Playlist, toQt(names[size_t(row)])});
}

bool BdjoTab::showItem(const ItemRef& item) {
  const int i = list_->findText(item.name);
  if (i < 0) return false;
  list_->setCurrentIndex(i);
  readSelected();
  return true;
}

}  // namespace morvex::app
