#include "app/options/options_tab.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSpinBox>
#include <QVBoxLayout>

namespace morvex::app {

QCheckBox* OptionsTab::check(const char* name, const QString& caption, bool AppSettings::*member, QWidget* parent) {
  auto* cb = new QCheckBox(caption, parent);
  cb->setObjectName(name);
  connect(cb, &QCheckBox::toggled, this, [this, member](bool on) {
    ctx_.settings.*member = on;
    updateEnabling();
  });
  loaders_ << [this, cb, member] { cb->setChecked(ctx_.settings.*member); };
  return cb;
}

QButtonGroup* OptionsTab::radios(const char* name, const QString& title, const QStringList& items,
                                 int AppSettings::*member, QGroupBox** box, QWidget* parent) {
  auto* g = new QGroupBox(title, parent);
  g->setObjectName(name);
  auto* lay = new QHBoxLayout(g);
  lay->setContentsMargins(6, 2, 6, 2);
  auto* bg = new QButtonGroup(g);
  for (int i = 0; i < items.size(); ++i) {
    auto* rb = new QRadioButton(items[i], g);
    rb->setObjectName(QString("%1_%2").arg(name).arg(i));
    bg->addButton(rb, i);
    lay->addWidget(rb);
  }
  lay->addStretch(1);
  connect(bg, &QButtonGroup::idToggled, this, [this, member](int id, bool on) {
    if (on) ctx_.settings.*member = id;
  });
  loaders_ << [this, bg, member] {
    if (auto* b = bg->button(ctx_.settings.*member)) b->setChecked(true);
  };
  if (box) *box = g;
  return bg;
}

QComboBox* OptionsTab::list(const char* name, const QStringList& items, int AppSettings::*member, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(items);
  connect(c, &QComboBox::currentIndexChanged, this, [this, member](int i) {
    if (i >= 0) ctx_.settings.*member = i;
  });
  loaders_ << [this, c, member] { c->setCurrentIndex(ctx_.settings.*member); };
  return c;
}

QPushButton* OptionsTab::colourButton(const char* name, const QString& caption, uint32_t AppSettings::*member,
                                      QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  auto paint = [this, b, member] {
    const QColor c = colourFromStore(ctx_.settings.*member);
    QPixmap pm(28, 14);
    pm.fill(c);
    b->setIcon(QIcon(pm));
    b->setIconSize(pm.size());
  };
  connect(b, &QPushButton::clicked, this, [this, caption, member, paint] {
    const QColor c = QColorDialog::getColor(colourFromStore(ctx_.settings.*member), this, caption);
    if (!c.isValid()) return;
    ctx_.settings.*member = colourToStore(c);
    paint();
    Q_EMIT displayOptionsChanged();
  });
  loaders_ << paint;
  b->setStyleSheet("text-align: left; padding: 2px 6px;");
  return b;
}

OptionsTab::OptionsTab(AppContext& ctx, QWidget* parent) : TabPage(parent), ctx_(ctx) {
  setObjectName("optionsTab");
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  outer->addWidget(scroll);
  auto* body = new QWidget(scroll);
  scroll->setWidget(body);
  auto* grid = new QGridLayout(body);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  // Built in the order the Tab key visits them; three columns of two groups.
  QGroupBox* gLoad = loadingGroup(body);
  QGroupBox* gFiles = filesGroup(body);
  QGroupBox* gDesk = desktopGroup(body);
  QGroupBox* gCmd = commandsGroup(body);
  QGroupBox* gMenu = menuDisplayGroup(body);
  QGroupBox* gCol = coloursGroup(body);
  grid->addWidget(gLoad, 0, 0);
  grid->addWidget(gFiles, 1, 0);
  grid->addWidget(gCmd, 0, 1);
  grid->addWidget(gDesk, 1, 1);
  grid->addWidget(gMenu, 0, 2);
  grid->addWidget(gCol, 1, 2);
  grid->setColumnStretch(0, 0);
  grid->setColumnStretch(1, 0);
  grid->setColumnStretch(2, 1);

  loadFromSettings();
}

// Auto Read, the backup files, 8.3 names, the chapter and program file formats and
// "Create sound.bdmv".
QGroupBox* OptionsTab::loadingGroup(QWidget* body) {
  auto* gLoad = new QGroupBox("Loading and saving", body);
  auto* vl = new QVBoxLayout(gLoad);
  vl->addWidget(check("autoReadCheck", "Auto Read", &AppSettings::autoRead, gLoad));
  backup_ = check("backupCheck", "Create backup files", &AppSettings::backup, gLoad);
  vl->addWidget(backup_);
  auto* form = new QFormLayout();
  form->setContentsMargins(18, 0, 0, 0);
  backupMode_ = list("backupModeChoice", {"Only first", "Overwrite", "Stop if exists"}, &AppSettings::backupMode, gLoad);
  form->addRow("Backup mode", backupMode_);
  vl->addLayout(form);
  vl->addWidget(check("saveToBackupFolderCheck", "Save to BACKUP dir", &AppSettings::saveBACKUP, gLoad));
  auto* names83 = check("cb83names", "Use 8.3 filenames", &AppSettings::names83, gLoad);
  connect(names83, &QCheckBox::toggled, this, [this] { Q_EMIT fileNamesChanged(); });
  vl->addWidget(names83);
  auto* form2 = new QFormLayout();
  form2->addRow("Chapter format", list("optionsChapterFormatChoice", {"PTS", "Frame", "Time"}, &AppSettings::chapterFormat, gLoad));
  form2->addRow("Program format",
                list("optionsProgramFormatChoice", {"List (*.lst)", "Binary (*.bin)"}, &AppSettings::programFormat, gLoad));
  vl->addLayout(form2);
  createSound_ = new QPushButton("Create sound.bdmv", gLoad);
  createSound_->setObjectName("createSoundButton");
  createSound_->setEnabled(false);
  connect(createSound_, &QPushButton::clicked, this, [this] { Q_EMIT createSoundRequested(); });
  vl->addWidget(createSound_);
  vl->addStretch(1);
  return gLoad;
}

// How "Save PID" writes a stream, and the folder it writes into.
QGroupBox* OptionsTab::filesGroup(QWidget* body) {
  auto* gFiles = new QGroupBox("Streams and files", body);
  auto* fl = new QVBoxLayout(gFiles);
  fl->addWidget(check("savePesCheck", "Save PES stream (not elementary)", &AppSettings::savePES, gFiles));
  fl->addWidget(check("saveSupCheck", "Save SUP if PG stream", &AppSettings::saveSUP, gFiles));
  fl->addWidget(check("saveMenuCheck", "Save MNU if IG stream", &AppSettings::saveMNU, gFiles));
  fl->addWidget(new QLabel("Output folder", gFiles));
  auto* wr = new QHBoxLayout();
  workDir_ = new QLineEdit(gFiles);
  workDir_->setObjectName("workFolderField");
  workDir_->setReadOnly(true);
  auto* wb = new QPushButton("...", gFiles);
  wb->setObjectName("workFolderButton");
  wb->setToolTip("Select a directory");
  wb->setFixedWidth(32);
  connect(wb, &QPushButton::clicked, this, [this] {
    const QString d = QFileDialog::getExistingDirectory(this, "Select a directory", ctx_.settings.workFolder);
    if (!d.isEmpty()) setWorkFolder(d);
  });
  wr->addWidget(workDir_, 1);
  wr->addWidget(wb);
  fl->addLayout(wr);
  fl->addStretch(1);
  return gFiles;
}

// The file associations and the menu made at start-up.
QGroupBox* OptionsTab::desktopGroup(QWidget* body) {
  auto* gDesk = new QGroupBox("Desktop", body);
  auto* dl = new QVBoxLayout(gDesk);
  dl->addWidget(check("associateBdmvCheck", "Associate Morvex to .bdmv file extension", &AppSettings::associateBDMV, gDesk));
  dl->addWidget(check("associateMenuCheck", "Associate Morvex to .mnu file extension", &AppSettings::associateMNU, gDesk));
  auto* menuRow = new QHBoxLayout();
  menuRow->addWidget(new QLabel("New menu at start-up:", gDesk));
  menuRow->addWidget(check("autoMenuCheck", "Auto create", &AppSettings::autoMenu, gDesk));
  auto* createMenu = new QPushButton("Create Menu", gDesk);
  createMenu->setObjectName("createMenuButton");
  createMenu->setToolTip("A new, empty menu on the Menu tab");
  connect(createMenu, &QPushButton::clicked, this, [this] { Q_EMIT createMenuRequested(); });
  menuRow->addWidget(createMenu);
  menuRow->addStretch(1);
  dl->addLayout(menuRow);
  dl->addStretch(1);
  return gDesk;
}

// The player's registers: the beep, the PSRs' start values, the region, the country
// and how long an activated button's command shows.
QGroupBox* OptionsTab::commandsGroup(QWidget* body) {
  auto* gCmd = new QGroupBox("Commands and registers", body);
  auto* cl = new QVBoxLayout(gCmd);
  cl->addWidget(check("forcedBeepCheck", "Forced beep on invalid command", &AppSettings::forcedBeep, gCmd));
  cl->addWidget(check("realPsrsCheck", "Init PSRs with 'real' values", &AppSettings::realPSRs, gCmd));
  QGroupBox* g = nullptr;
  radios("regionGroup", "Region code", {"A", "B", "C"}, &AppSettings::region, &g, gCmd);
  cl->addWidget(g);
  cl->addWidget(countryGroup(gCmd));
  cl->addWidget(new QLabel("Activate command show delay (ms)", gCmd));
  auto* dr = new QHBoxLayout();
  auto* delay = new QSpinBox(gCmd);
  delay->setObjectName("activateDelayField");
  delay->setRange(0, 60000);
  delay->setSingleStep(100);
  connect(delay, &QSpinBox::valueChanged, this, [this](int v) { ctx_.settings.actiDelay = v; });
  loaders_ << [this, delay] { delay->setValue(ctx_.settings.actiDelay); };
  dr->addWidget(delay);
  dr->addStretch(1);
  cl->addLayout(dr);
  cl->addStretch(1);
  return gCmd;
}

// The country code: four hex digits, shown as its two letters beside them.
QGroupBox* OptionsTab::countryGroup(QWidget* parent) {
  countryGroup_ = new QGroupBox("Country", parent);
  countryGroup_->setObjectName("countryGroup");
  countryGroup_->setFocusPolicy(Qt::StrongFocus);
  auto* cr = new QHBoxLayout(countryGroup_);
  cr->addWidget(new QLabel("code", countryGroup_));
  country_ = new QLineEdit(countryGroup_);
  country_->setObjectName("countryField");
  country_->setMaxLength(4);
  country_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,4}"), country_));
  country_->setFixedWidth(QFontMetrics(country_->font()).horizontalAdvance("DDDDD") + 12);
  country_->installEventFilter(this);
  countryLabel_ = new QLabel("US", countryGroup_);
  countryLabel_->setObjectName("countryLabel");
  countryLabel_->setMinimumWidth(24);
  cr->addWidget(country_);
  cr->addWidget(countryLabel_);
  cr->addStretch(1);
  connect(country_, &QLineEdit::textEdited, this, &OptionsTab::countryEdited);
  connect(country_, &QLineEdit::returnPressed, this, [this] {
    countryLeft();
    countryGroup_->setFocus();
  });
  loaders_ << [this] {
    country_->setText(QString::number(ctx_.settings.countryCode, 16).toLower());
    countryLabel_->setText(countryLetters(ctx_.settings.countryCode));
  };
  return countryGroup_;
}

// What the Menu tab's page view shows, its grid, and the picture behind the page.
QGroupBox* OptionsTab::menuDisplayGroup(QWidget* body) {
  auto* gMenu = new QGroupBox("Menu display", body);
  auto* ml = new QGridLayout(gMenu);
  ml->setVerticalSpacing(2);
  struct Opt {
    const char* name;
    const char* caption;
    bool AppSettings::*member;
  };
  const Opt opts[] = {
      {"optionButtonIdCheck", "Button ID (hex)", &AppSettings::buttonId},
      {"optionObjectIdCheck", "Object ID (hex)", &AppSettings::objectId},
      {"optionButtonFrameCheck", "Button frame", &AppSettings::buttonFrame},
      {"optionWindowFrameCheck", "Window frame", &AppSettings::windowFrame},
      {"optionInEffectsCheck", "Show InEffects", &AppSettings::showInEffects},
      {"optionOutEffectsCheck", "Show OutEffects", &AppSettings::showOutEffects},
      {"optionAnimationCheck", "Animate buttons", &AppSettings::showButtonAnimation},
      {"optionFullScreenCheck", "Full screen view", &AppSettings::showFullScreen},
      {"optionPlaySoundCheck", "Play sound", &AppSettings::playSound},
  };
  int row = 0;
  for (const Opt& o : opts) {
    auto* cb = check(o.name, o.caption, o.member, gMenu);
    connect(cb, &QCheckBox::toggled, this, [this] {
      if (!loading_) Q_EMIT displayOptionsChanged();
    });
    ml->addWidget(cb, row / 2, row % 2);
    ++row;
  }
  row = (row + 1) / 2;
  ml->addWidget(check("preloadCheck", "Preload all bitmap of the page", &AppSettings::preLoad, gMenu), row++, 0, 1, 2);
  auto* gr = new QHBoxLayout();
  gr->addWidget(new QLabel("Grid size", gMenu));
  auto* gridSize = new QSpinBox(gMenu);
  gridSize->setObjectName("gridSizeField");
  gridSize->setRange(0, 100);
  connect(gridSize, &QSpinBox::valueChanged, this, [this](int v) { ctx_.settings.grid = v; });
  loaders_ << [this, gridSize] { gridSize->setValue(ctx_.settings.grid); };
  gr->addWidget(gridSize);
  gr->addStretch(1);
  ml->addLayout(gr, row++, 0, 1, 2);
  background_ = check("backgroundCheck", "Background", &AppSettings::background, gMenu);
  connect(background_, &QCheckBox::toggled, this, [this] {
    if (!loading_) Q_EMIT displayOptionsChanged();
  });
  ml->addWidget(background_, row++, 0, 1, 2);
  ml->addLayout(backgroundPictureRow(gMenu), row++, 0, 1, 2);
  ml->setRowStretch(row, 1);
  return gMenu;
}

// The picture file behind the page, with its browse button.
QHBoxLayout* OptionsTab::backgroundPictureRow(QWidget* parent) {
  auto* br = new QHBoxLayout();
  backPic_ = new QLineEdit(parent);
  backPic_->setObjectName("backgroundPictureField");
  connect(backPic_, &QLineEdit::textChanged, this, [this](const QString& t) { ctx_.settings.backgroundPic = t; });
  loaders_ << [this] { backPic_->setText(ctx_.settings.backgroundPic); };
  backPicBrowse_ = new QPushButton("...", parent);
  backPicBrowse_->setObjectName("backgroundPictureButton");
  backPicBrowse_->setFixedWidth(32);
  connect(backPicBrowse_, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, "Background", ctx_.dialogFolder(),
                                                   "Pictures (*.png *.jpg *.bmp);;All files (*)");
    if (!f.isEmpty()) backPic_->setText(f);
  });
  br->addWidget(backPic_, 1);
  br->addWidget(backPicBrowse_);
  return br;
}

// The colours the Menu tab draws the page, the buttons and the windows with.
QGroupBox* OptionsTab::coloursGroup(QWidget* body) {
  auto* gCol = new QGroupBox("Colours", body);
  auto* kl = new QGridLayout(gCol);
  kl->setVerticalSpacing(2);
  struct Col {
    const char* name;
    const char* caption;
    uint32_t AppSettings::*member;
  };
  const Col cols[] = {
      {"colourBackgroundButton", "Menu background", &AppSettings::colBackground},
      {"colourObjectBackgroundButton", "Object background", &AppSettings::colObjectBackground},
      {"colourSelectedButtonButton", "Selected button", &AppSettings::colSelectedButton},
      {"colourSelectedFrameButton", "Selected frame", &AppSettings::colSelectedFrame},
      {"colourNormalButtonButton", "Normal button", &AppSettings::colNormalButton},
      {"colourNormalFrameButton", "Normal frame", &AppSettings::colNormalFrame},
      {"colourInvalidButtonButton", "Invalid button", &AppSettings::colInvalidButton},
      {"colourInvalidFrameButton", "Invalid Frame", &AppSettings::colInvalidFrame},
      {"colourWindowButton", "Window frame", &AppSettings::colWindow},
  };
  int ci = 0;
  for (const Col& c : cols) {
    kl->addWidget(colourButton(c.name, c.caption, c.member, gCol), ci / 2, ci % 2);
    ++ci;
  }
  kl->setRowStretch((ci + 1) / 2, 1);
  return gCol;
}

void OptionsTab::loadFromSettings() {
  loading_ = true;
  // Loading a control writes the same value back; take a copy so each loader reads
  // the value as stored, not one changed by an earlier loader.
  const AppSettings stored = ctx_.settings;
  for (auto& f : loaders_) {
    ctx_.settings = stored;
    f();
  }
  ctx_.settings = stored;
  workDir_->setText(ctx_.settings.workFolder);
  loading_ = false;
  updateEnabling();
}

void OptionsTab::setWorkFolder(const QString& folder) {
  ctx_.settings.workFolder = folder;
  workDir_->setText(folder);
}

void OptionsTab::updateEnabling() {
  if (backupMode_) backupMode_->setEnabled(ctx_.settings.backup);
  if (backPic_) {
    backPic_->setEnabled(ctx_.settings.background);
    backPicBrowse_->setEnabled(ctx_.settings.background);
  }
}

// While typing, the label shows the two letters of the value so far.
void OptionsTab::countryEdited() {
  const QString lower = country_->text().toLower();
  if (lower != country_->text()) {
    const int pos = country_->cursorPosition();
    country_->setText(lower);
    country_->setCursorPosition(pos);
  }
  countryLabel_->setText(countryLetters(lower.toInt(nullptr, 16)));
}

// Leaving the field brings the value into AA..ZZ.
void OptionsTab::countryLeft() {
  const int v = clampCountryCode(country_->text().toInt(nullptr, 16));
  ctx_.settings.countryCode = v;
  country_->setText(QString::number(v, 16).toLower());
  countryLabel_->setText(countryLetters(v));
}

bool OptionsTab::eventFilter(QObject* o, QEvent* e) {
  if (o == country_ && e->type() == QEvent::FocusOut) countryLeft();
  return TabPage::eventFilter(o, e);
}

}  // namespace morvex::app
