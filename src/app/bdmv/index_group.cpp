#include "app/bdmv/index_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>

#include "app/extdata/ext_data_editor.h"
#include "nav/nav_edit.h"
#include "app/widgets/grid.h"
#include "app/shell/qt_text.h"
#include "core/stream_coding.h"
#include "playlist/names.h"

namespace morvex::app {

namespace {


// Typing in the content provider field is one undo step until another edit.
constexpr int kMergeContent = 1;

}  // namespace

IndexGroup::IndexGroup(AppContext& ctx, DiscEdits& edit, QWidget* parent)
    : QGroupBox("index.bdmv", parent), ctx_(ctx), edit_(edit) {
  setObjectName("indexGroup");
  buildUi();
  setEnabled(false);
}

void IndexGroup::buildUi() {
  auto* il = new QGridLayout(this);
  il->setVerticalSpacing(3);
  il->addWidget(new QLabel("Content provider", this), 0, 0);
  content_ = new QLineEdit(this);
  content_->setObjectName("contentProviderField");
  content_->setMaxLength(32);
  il->addWidget(content_, 0, 1, 1, 4);
  // Column captions of the First Playback and Top Menu lists.
  const char* const fpbCaptions[] = {"Object type", "Playback type", "Movie object", "BD-J object"};
  for (int c = 0; c < 4; ++c) {
    auto* cap = new QLabel(fpbCaptions[c], this);
    cap->setObjectName(QString("firstPlaybackCaption%1").arg(c));
    il->addWidget(cap, 1, c + 1);
  }
  fpbOn_ = new QCheckBox("First Playback", this);
  fpbOn_->setObjectName("firstPlaybackCheck");
  fpbOn_->setToolTip("First playback on/off");
  fpbType_ = makeList("firstPlaybackTypeChoice", {"HDMV", "BD-J"}, "", this);
  fpbPbType_ = makeList("firstPlaybackPlaybackTypeChoice", {"Movie", "Interactive"}, "", this);
  fpbObject_ = makeList("firstPlaybackObjectChoice", {}, "", this);
  fpbFile_ = makeList("firstPlaybackFileChoice", {}, "", this);
  il->addWidget(fpbOn_, 2, 0);
  il->addWidget(fpbType_, 2, 1);
  il->addWidget(fpbPbType_, 2, 2);
  il->addWidget(fpbObject_, 2, 3);
  il->addWidget(fpbFile_, 2, 4);
  tmOn_ = new QCheckBox("Top Menu (0)", this);
  tmOn_->setObjectName("topMenuCheck");
  tmType_ = makeList("topMenuTypeChoice", {"HDMV", "BD-J"}, "", this);
  tmObject_ = makeList("topMenuObjectChoice", {}, "", this);
  tmFile_ = makeList("topMenuFileChoice", {}, "", this);
  il->addWidget(tmOn_, 3, 0);
  il->addWidget(tmType_, 3, 1);
  il->addWidget(tmObject_, 3, 3);
  il->addWidget(tmFile_, 3, 4);
  const int cw = QFontMetrics(font()).horizontalAdvance("Interactive") + 16;
  titles_ = makeTable("titleTable", {"No.", "object t.", "title search", "playback t.", "OID/file"},
                      {QFontMetrics(font()).horizontalAdvance("0000") + 10, cw * 3 / 4, cw, cw}, this);
  titles_->setToolTip("Titles");
  titles_->setSelectionMode(QAbstractItemView::ContiguousSelection);
  il->addWidget(titles_, 4, 0, 1, 5);
  il->setRowStretch(4, 1);
  // The selected title's details, each list under its caption.
  auto* td = new QGridLayout();
  td->setVerticalSpacing(0);
  td->setHorizontalSpacing(8);
  titleNo_ = makeList("titleNumberChoice", {}, "Title", this);
  titleOT_ = makeList("titleObjectTypeChoice", {"HDMV", "BD-J"}, "Object type", this);
  titleAT_ = makeList("titleAccessTypeChoice", {"Permitted", "Prohibited1", "Prohibited2"}, "Title search", this);
  titlePBT_ = makeList("titlePlaybackTypeChoice", {"Movie", "Interactive"}, "Playback type", this);
  titleOID_ = makeList("titleObjectChoice", {}, "Movie object", this);
  titleFN_ = makeList("titleFileChoice", {}, "BD-J object file", this);
  const char* const titleCaptions[] = {"Title", "Object type", "Title search", "Playback type", "Movie object",
                                       "BD-J object"};
  int col = 0;
  for (QComboBox* c : {titleNo_, titleOT_, titleAT_, titlePBT_, titleOID_, titleFN_}) {
    auto* cap = new QLabel(titleCaptions[col], this);
    cap->setObjectName(QString("titleCaption%1").arg(col));
    td->addWidget(cap, 0, col);
    td->addWidget(c, 1, col);
    ++col;
  }
  td->setColumnStretch(col, 1);
  il->addLayout(td, 5, 0, 1, 5);
  auto* tr = new QHBoxLayout();
  titleIns_ = new QPushButton("+", this);
  titleIns_->setObjectName("insertTitleButton");
  titleIns_->setToolTip("Insert title");
  titleDel_ = new QPushButton("-", this);
  titleDel_->setObjectName("deleteTitleButton");
  titleDel_->setToolTip("Delete title");
  for (QPushButton* b : {titleIns_, titleDel_}) b->setFixedWidth(28);
  titleCount_ = new QLabel(this);
  titleCount_->setObjectName("titleCountLabel");
  indExt_ = new QLabel("no ExtensionData()", this);
  indExt_->setObjectName("indexExtensionDataLabel");
  indExtEdit_ = new QPushButton("Edit", this);
  indExtEdit_->setObjectName("indexExtensionDataButton");
  tr->addWidget(titleIns_);
  tr->addWidget(titleDel_);
  tr->addWidget(titleCount_);
  tr->addStretch(1);
  tr->addWidget(indExt_);
  tr->addWidget(indExtEdit_);
  il->addLayout(tr, 6, 0, 1, 5);

  // AppInfo row: what a player sets up before the first title plays.
  auto* ar = new QHBoxLayout();
  auto names = [](std::string_view (*name)(unsigned), unsigned n) {
    QStringList out;
    for (unsigned v = 0; v < n; ++v) out << toQt(name(v));
    return out;
  };
  outputMode_ = makeList("outputModeChoice", {"2D", "3D"}, "Initial output mode preference", this);
  contentExist_ = new QCheckBox("3D content", this);
  contentExist_->setObjectName("contentExistCheck");
  contentExist_->setToolTip("Stereoscopic content exists on the disc");
  QStringList ranges;
  for (uint8_t v : core::dynamicRangeTypeValues()) ranges << toQt(core::dynamicRangeTypeName(v));
  initialDynamicRange_ = makeList("initialDynamicRangeChoice", ranges, "Initial dynamic range type (Ultra HD)", this);
  appVideoFormat_ = makeList("appInfoVideoFormatChoice", names(&playlist::videoFormatName, 9), "Video format", this);
  appFrameRate_ = makeList("appInfoFrameRateChoice", names(&playlist::frameRateName, 8), "Frame rate", this);
  auto* appCap = new QLabel("AppInfo", this);
  appCap->setObjectName("appInfoCaptionLabel");
  ar->addWidget(appCap);
  for (QWidget* w : std::initializer_list<QWidget*>{outputMode_, contentExist_, initialDynamicRange_, appVideoFormat_,
                                                    appFrameRate_})
    ar->addWidget(w);
  ar->addStretch(1);
  il->addLayout(ar, 7, 0, 1, 5);
  // Ultra HD disc info (ExtensionData entry 3/1): disc type and the formats on the disc.
  auto* ur = new QHBoxLayout();
  uhdInfo_ = new QLabel(this);
  uhdInfo_->setObjectName("uhdDiscInfoLabel");
  ur->addWidget(uhdInfo_);
  const std::pair<const char*, const char*> flags[] = {{"4K", "exist4kCheck"},           {"HDR10+", "hdr10PlusCheck"},
                                                        {"SL-HDR2", "slHdr2Check"},       {"Dolby Vision", "dolbyVisionCheck"},
                                                        {"HDR10", "hdr10Check"},          {"SDR", "sdrCheck"}};
  for (const auto& [text, name] : flags) {
    auto* c = new QCheckBox(text, this);
    c->setObjectName(name);
    uhdFlags_.push_back(c);
    ur->addWidget(c);
  }
  ur->addStretch(1);
  il->addLayout(ur, 8, 0, 1, 5);

  // Typing (and the field's own undo) edits the model; consecutive typing is one step.
  connect(content_, &QLineEdit::textChanged, this, [this](const QString& t) {
    if (filling_) return;
    edit_("Content provider", [&] { ix().contentProviderData = t.left(32).toStdString(); }, kMergeContent);
  });
  // The details follow the current title however it changes (click or keyboard).
  connect(titles_, &QTableWidget::currentCellChanged, this, [this](int r, int, int pr) {
    if (!filling_ && r != pr) selectTitle(r);
  });
  connect(titles_, &QTableWidget::cellDoubleClicked, this, [this](int r) {
    const auto& ts = ix().indexes.titles;
    if (r >= 0 && r < int(ts.size()) && !ts[size_t(r)].isHdmv())
      Q_EMIT itemWanted(ItemRef{ItemKind::BdjObject, toQt(ts[size_t(r)].bdjFileName)});
  });
  connect(titleNo_, &QComboBox::activated, this, [this](int i) { showTitleDetails(i); });
  auto titleEdit = [this](QComboBox* box, auto apply) {
    connect(box, &QComboBox::activated, this, [this, apply](int entry) {
      const int i = titleNo_->currentIndex();
      auto& ts = ix().indexes.titles;
      if (filling_ || i < 0 || i >= int(ts.size())) return;
      edit_("Title " + QString::number(i + 1), [&] { apply(ts[size_t(i)], entry); });
      refreshTitleRow(i);
      showTitleDetails(i);
    });
  };
  titleEdit(titleOT_, [](nav::Title& t, int e) { t.objectType = uint8_t(e + 1); });
  titleEdit(titleAT_, [](nav::Title& t, int e) { t.accessType = nav::accessTypeFromEntry(e); });
  titleEdit(titlePBT_, [](nav::Title& t, int e) { t.playbackType = uint8_t(e); });
  titleEdit(titleOID_, [](nav::Title& t, int e) { t.objectId = uint16_t(e); });
  connect(titleFN_, &QComboBox::activated, this, [this](int) {
    const int i = titleNo_->currentIndex();
    auto& ts = ix().indexes.titles;
    if (i < 0 || i >= int(ts.size())) return;
    edit_("Title " + QString::number(i + 1),
          [&] { ts[size_t(i)].bdjFileName = titleFN_->currentText().left(5).toStdString(); });
    refreshTitleRow(i);
  });
  connect(fpbOn_, &QCheckBox::clicked, this, [this](bool on) {
    edit_("First Playback", [&] {
      if (on) ix().indexes.firstPlayback.objectType = uint8_t(fpbType_->currentIndex() + 1);
      nav::setFirstPlaybackOn(ix(), on, uint16_t(std::max(0, fpbObject_->currentIndex())));
    });
    showFirstPlaybackTopMenu();
    refreshCount();
  });
  connect(tmOn_, &QCheckBox::clicked, this, [this](bool on) {
    edit_("Top Menu", [&] {
      if (on) ix().indexes.topMenu.objectType = uint8_t(tmType_->currentIndex() + 1);
      nav::setTopMenuOn(ix(), on, uint16_t(std::max(0, tmObject_->currentIndex())));
    });
    showFirstPlaybackTopMenu();
    refreshCount();
  });
  connect(fpbType_, &QComboBox::activated, this, [this](int e) {
    edit_("First Playback", [&] { ix().indexes.firstPlayback.objectType = uint8_t(e + 1); });
    showFirstPlaybackTopMenu();
  });
  connect(tmType_, &QComboBox::activated, this, [this](int e) {
    edit_("Top Menu", [&] { ix().indexes.topMenu.objectType = uint8_t(e + 1); });
    showFirstPlaybackTopMenu();
  });
  connect(fpbPbType_, &QComboBox::activated, this,
          [this](int e) { edit_("First Playback", [&] { ix().indexes.firstPlayback.playbackType = uint8_t(e); }); });
  connect(fpbObject_, &QComboBox::activated, this, [this](int e) {
    edit_("First Playback", [&] { ix().indexes.firstPlayback.objectId = uint16_t(e); });
    if (ix().indexes.firstPlayback.isHdmv()) Q_EMIT objectWanted(e);
  });
  connect(tmObject_, &QComboBox::activated, this, [this](int e) {
    edit_("Top Menu", [&] { ix().indexes.topMenu.objectId = uint16_t(e); });
    if (ix().indexes.topMenu.isHdmv()) Q_EMIT objectWanted(e);
  });
  connect(titleIns_, &QPushButton::clicked, this, &IndexGroup::insertTitle);
  connect(titleDel_, &QPushButton::clicked, this, &IndexGroup::deleteTitles);
  titles_->installEventFilter(this);
  connect(indExtEdit_, &QPushButton::clicked, this, &IndexGroup::editExtensionData);

  connect(outputMode_, &QComboBox::activated, this, [this](int i) {
    editAppInfo("Output mode preference", [i](nav::AppInfoFlags& f) { f.initialOutputModePreference = uint8_t(i & 1); });
  });
  connect(contentExist_, &QCheckBox::clicked, this, [this](bool on) {
    editAppInfo("3D content", [on](nav::AppInfoFlags& f) { f.contentExistFlag = on ? 1 : 0; });
  });
  connect(initialDynamicRange_, &QComboBox::activated, this, [this](int i) {
    const auto values = core::dynamicRangeTypeValues();
    if (i < 0 || i >= int(values.size())) return;
    const uint8_t v = values[size_t(i)];
    editAppInfo("Initial dynamic range", [v](nav::AppInfoFlags& f) { f.initialDynamicRangeType = v; });
  });
  connect(appVideoFormat_, &QComboBox::activated, this, [this](int i) {
    editAppInfo("Video format", [i](nav::AppInfoFlags& f) { f.videoFormat = uint8_t(i); });
  });
  connect(appFrameRate_, &QComboBox::activated, this, [this](int i) {
    editAppInfo("Frame rate", [i](nav::AppInfoFlags& f) { f.frameRate = uint8_t(i); });
  });
  for (size_t k = 0; k < uhdFlags_.size(); ++k)
    connect(uhdFlags_[k], &QCheckBox::clicked, this, [this, k](bool on) {
      const QString what = "Ultra HD " + uhdFlags_[k]->text();
      edit_(what, [&] {
        nav::UhdDiscInfo u;
        if (!nav::readUhdDiscInfo(ix().extensionData, u)) return;
        uint8_t* fields[] = {&u.exist4kFlag, &u.hdr10PlusFlag, &u.slHdr2Flag, &u.dolbyVisionFlag, &u.hdr10Flag, &u.sdrFlag};
        *fields[k] = on ? 1 : 0;
        nav::writeUhdDiscInfo(ix().extensionData, u);
      });
      showAppInfo();
    });
}

void IndexGroup::editAppInfo(const QString& what, const std::function<void(nav::AppInfoFlags&)>& change) {
  if (filling_) return;
  edit_(what, [&] {
    nav::AppInfoFlags f = nav::appInfoFlagsOf(ix().appInfoFlags);
    change(f);
    ix().appInfoFlags = nav::withAppInfoFlags(ix().appInfoFlags, f);
  });
  showAppInfo();
}

void IndexGroup::showAppInfo() {
  const bool was = filling_;
  filling_ = true;
  const nav::AppInfoFlags f = nav::appInfoFlagsOf(ix().appInfoFlags);
  const bool uhd = ix().version == nav::kVersion0300;
  auto pick = [](QComboBox* c, unsigned v) { c->setCurrentIndex(v < unsigned(c->count()) ? int(v) : -1); };
  pick(outputMode_, f.initialOutputModePreference);
  contentExist_->setChecked(f.contentExistFlag != 0);
  const auto ranges = core::dynamicRangeTypeValues();
  auto it = std::find(ranges.begin(), ranges.end(), f.initialDynamicRangeType);
  initialDynamicRange_->setCurrentIndex(it == ranges.end() ? -1 : int(it - ranges.begin()));
  initialDynamicRange_->setVisible(uhd);
  pick(appVideoFormat_, f.videoFormat);
  pick(appFrameRate_, f.frameRate);
  nav::UhdDiscInfo u;
  const bool info = nav::readUhdDiscInfo(ix().extensionData, u);
  uhdInfo_->setVisible(info);
  uhdInfo_->setText(info ? "Ultra HD disc type " + QString::number(u.discType) : QString());
  const uint8_t values[] = {u.exist4kFlag, u.hdr10PlusFlag, u.slHdr2Flag, u.dolbyVisionFlag, u.hdr10Flag, u.sdrFlag};
  for (size_t k = 0; k < uhdFlags_.size(); ++k) {
    uhdFlags_[k]->setVisible(info);
    uhdFlags_[k]->setChecked(info && values[k] != 0);
  }
  filling_ = was;
}

bool IndexGroup::eventFilter(QObject* o, QEvent* e) {
  if (o == titles_ && e->type() == QEvent::KeyPress) {
    auto* k = static_cast<QKeyEvent*>(e);
    const auto mods = k->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (mods == Qt::NoModifier && k->key() == Qt::Key_Insert) {
      insertTitle();
      return true;
    }
    if (mods == Qt::NoModifier && k->key() == Qt::Key_Delete) {
      deleteTitles();
      return true;
    }
  }
  return QGroupBox::eventFilter(o, e);
}

void IndexGroup::clear() {
  filling_ = true;
  titles_->clearContents();
  titles_->setRowCount(1);
  for (QComboBox* c : {titleNo_, titleOID_, titleFN_, fpbObject_, fpbFile_, tmObject_, tmFile_}) c->clear();
  indExtEdit_->setEnabled(false);
  filling_ = false;
  refreshCount();
}

void IndexGroup::showRead(const QStringList& objects) {
  filling_ = true;
  content_->setText(toQt(ix().contentProviderData));
  QStringList bdj;
  for (const auto& n : ctx_.session.disc().bdjObjects) bdj << toQt(n);
  for (QComboBox* c : {fpbFile_, tmFile_, titleFN_}) {
    c->clear();
    c->addItems(bdj);
  }
  filling_ = false;
  fillTitles();
  objectsChanged(objects);
  setEnabled(ctx_.session.indexRead());
  indExtEdit_->setEnabled(ctx_.session.indexRead());
  updateExtDataLabel();
  refreshCount();
}

void IndexGroup::showAfterUndo(const QStringList& objects) {
  const int t = titles_->currentRow();
  filling_ = true;
  content_->setText(toQt(ix().contentProviderData));
  filling_ = false;
  fillTitles();
  setObjectNames(objects);
  showFirstPlaybackTopMenu();
  updateExtDataLabel();
  refreshCount();
  const int nt = int(ix().indexes.titles.size());
  if (nt > 0) showTitleDetails(std::clamp(t, 0, nt - 1));
}

void IndexGroup::setObjectNames(const QStringList& objects) {
  const bool was = filling_;
  filling_ = true;
  for (QComboBox* c : {fpbObject_, tmObject_, titleOID_}) {
    const int cur = c->currentIndex();
    c->clear();
    c->addItems(objects);
    if (cur >= 0 && cur < c->count()) c->setCurrentIndex(cur);
  }
  filling_ = was;
}

void IndexGroup::objectsChanged(const QStringList& objects) {
  setObjectNames(objects);
  for (size_t i = 0; i < ix().indexes.titles.size(); ++i) refreshTitleRow(int(i));
  // The lists were filled anew: what they show comes from the model, not from the
  // entry that happened to be current before.
  showFirstPlaybackTopMenu();
  if (titleNo_->currentIndex() >= 0) showTitleDetails(titleNo_->currentIndex());
}

void IndexGroup::fillTitles() {
  const bool was = filling_;
  filling_ = true;
  const auto& ts = ix().indexes.titles;
  titles_->clearContents();
  titles_->setRowCount(std::max<int>(1, int(ts.size())));
  titleNo_->clear();
  for (size_t i = 0; i < ts.size(); ++i) {
    titleNo_->addItem(QString::number(i + 1));
    refreshTitleRow(int(i));
  }
  const bool any = !ts.empty();
  for (QComboBox* c : {titleNo_, titleAT_, titlePBT_}) c->setEnabled(any);
  if (!any) {
    for (QComboBox* c : {titleOT_, titleOID_, titleFN_}) c->setEnabled(false);
  }
  filling_ = was;
}

void IndexGroup::refreshTitleRow(int i) {
  const auto texts = nav::titleRowTexts(ix().indexes.titles.at(size_t(i)));
  for (int c = 0; c < 5; ++c) setCell(titles_, i, c, toQt(texts[size_t(c)]));
}

void IndexGroup::refreshCount() {
  titleCount_->setText(ctx_.session.indexRead() ? toQt(nav::titleCountLabel(ix())) : QString());
}

int IndexGroup::currentTitle() const { return titles_->currentRow(); }

void IndexGroup::insertTitle() {
  if (!ctx_.session.indexRead()) return;
  const int after = ix().indexes.titles.empty() ? -1 : lastSelectedRow(titles_);
  int at = -1;
  edit_("Insert title", [&] { at = nav::insertTitle(ix(), after); });
  fillTitles();
  if (ix().indexes.titles.size() == 1) {
    titleOT_->setEnabled(!ctx_.session.disc().bdjObjects.empty());
  }
  selectTitle(at);
  refreshCount();
  Q_EMIT rulesChanged();
}

void IndexGroup::deleteTitles() {
  if (!ctx_.session.indexRead() || ix().indexes.titles.empty()) return;
  auto [a, b] = selectedRows(titles_);
  if (a < 0) return;
  b = std::min<int>(b, int(ix().indexes.titles.size()) - 1);
  int sel = -1;
  edit_("Delete titles", [&] { sel = nav::deleteTitles(ix(), a, b); });
  fillTitles();
  if (sel >= 0) selectTitle(sel);
  refreshCount();
  Q_EMIT rulesChanged();
}

void IndexGroup::showFirstPlaybackTopMenu() {
  filling_ = true;
  const auto& idx = ix().indexes;
  const bool bdj = !ctx_.session.disc().bdjObjects.empty();
  const nav::Title& f = idx.firstPlayback;
  const bool fOn = f.objectId != 0xFFFF || !f.isHdmv();
  fpbOn_->setChecked(fOn);
  fpbType_->setCurrentIndex(f.isHdmv() ? 0 : 1);
  fpbPbType_->setCurrentIndex(std::min<int>(f.playbackType, 1));
  // An object number the file names but the disc lacks shows as an empty entry.
  fpbObject_->setCurrentIndex(f.isHdmv() && f.objectId < fpbObject_->count() ? f.objectId : -1);
  fpbType_->setEnabled(fOn && bdj);
  fpbPbType_->setEnabled(fOn);
  fpbObject_->setEnabled(fOn && f.isHdmv());
  fpbFile_->setEnabled(fOn && !f.isHdmv());
  const nav::Title& m = idx.topMenu;
  const bool mOn = m.objectId != 0xFFFF || !m.isHdmv();
  tmOn_->setChecked(mOn);
  tmType_->setCurrentIndex(m.isHdmv() ? 0 : 1);
  tmObject_->setCurrentIndex(m.isHdmv() && m.objectId < tmObject_->count() ? m.objectId : -1);
  tmType_->setEnabled(mOn && bdj);
  tmObject_->setEnabled(mOn && m.isHdmv());
  tmFile_->setEnabled(mOn && !m.isHdmv());
  filling_ = false;
}

void IndexGroup::selectTitle(int index) {
  const auto& ts = ix().indexes.titles;
  if (index < 0 || index >= int(ts.size())) return;
  showTitleDetails(index);
  const nav::Title& t = ts[size_t(index)];
  if (t.isHdmv() && t.objectId < ctx_.session.movieObjects.model.movieObjects.objects.size())
    Q_EMIT objectWanted(t.objectId);
  if (isVisible()) titles_->setFocus();
}

void IndexGroup::showTitleDetails(int i) {
  const auto& ts = ix().indexes.titles;
  if (i < 0 || i >= int(ts.size())) return;
  filling_ = true;
  const nav::Title& t = ts[size_t(i)];
  titleNo_->setCurrentIndex(i);
  titleOT_->setCurrentIndex(t.isHdmv() ? 0 : 1);
  titleAT_->setCurrentIndex(t.accessType == 0 ? 0 : std::min(2, t.accessType - 1));
  titlePBT_->setCurrentIndex(std::min<int>(t.playbackType, 1));
  titleOID_->setEnabled(t.isHdmv());
  titleFN_->setEnabled(!t.isHdmv());
  titleOID_->setCurrentIndex(t.isHdmv() && t.objectId < titleOID_->count() ? t.objectId : -1);
  titleOT_->setEnabled(!ctx_.session.disc().bdjObjects.empty() || !t.isHdmv());
  titles_->selectRow(i);
  filling_ = false;
}

void IndexGroup::updateExtDataLabel() {
  indExt_->setText(toQt(core::extensionDataCaption(ix().extensionData)));
  showAppInfo();
}

// The block goes where the file's layout puts it after an edit.
void IndexGroup::editExtensionData() {
  const QString name = toQt(ctx_.names().indexfile);
  ExtDataEditor dlg(ix().extensionData, name, ctx_.dialogFolder(), *ctx_.log, this);
  if (dlg.exec() != QDialog::Accepted) return;
  edit_(name + " ExtensionData", [&] {
    ix().extensionData = dlg.block();
    ix().extensionDataStartAddress =
        extDataStartAfterEdit(ix().extensionData, ix().indexesStartAddress + 4 + ix().indexes.length);
  });
  updateExtDataLabel();
}

void IndexGroup::focusEntry(bool topMenu) { (topMenu ? tmType_ : fpbType_)->setFocus(); }

}  // namespace morvex::app
