#include "app/menu/author_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "app/menu/picture_widget.h"
#include "app/shell/qt_text.h"
#include "app/widgets/accessible_names.h"

namespace morvex::app {

namespace {

// A change is planned once typing pauses: planning sets every label again.
constexpr int kPlanPauseMs = 300;

// Title table columns.
enum Column { ColTitle, ColLabel, ColScenes, ColLength, ColPlaylist, ColCount };

// 45 kHz ticks as h:mm:ss.
QString clock(uint64_t ticks) {
  const uint64_t s = ticks / 45000;
  return QString("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
}

QTableWidgetItem* readOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

}  // namespace

AuthorDialog::AuthorDialog(const std::filesystem::path& bdmv, QWidget* parent)
    : QDialog(parent), bdmv_(bdmv), colour_(16, 24, 40) {
  setObjectName("authorMenuDialog");
  setWindowTitle("Create a menu for this disc");
  // Reading the titles is quick (the index, the movie objects and the playlists they
  // play); what it says goes to the preview, not to the window's log.
  core::MemoryLog quiet;
  titles_ = author::readDiscTitles(bdmv_, quiet);
  timer_ = new QTimer(this);
  timer_->setObjectName("previewTimer");
  timer_->setSingleShot(true);
  timer_->setInterval(kPlanPauseMs);
  connect(timer_, &QTimer::timeout, this, &AuthorDialog::refreshPreview);
  buildUi();
  fillTitles();
  nameControls(this);
  refreshPreview();
}

AuthorDialog::~AuthorDialog() {
  // A plan being drawn cannot be stopped; it is waited for (a second or so at most).
  if (planner_) {
    planner_->disconnect(this);
    planner_->wait();
    delete planner_;
  }
  // The picture shows the plan's pixels; it must not paint them once they are gone.
  if (picture_) picture_->setPicture(nullptr);
}

void AuthorDialog::buildUi() {
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(8, 8, 8, 8);
  lay->setSpacing(6);
  auto* split = new QSplitter(Qt::Horizontal, this);
  split->setObjectName("authorSplitter");
  split->setChildrenCollapsible(false);
  auto* left = new QWidget(split);
  auto* ll = new QVBoxLayout(left);
  ll->setContentsMargins(0, 0, 0, 0);
  ll->setSpacing(6);
  ll->addWidget(buildTitleTable(), 1);
  ll->addWidget(buildLook());
  split->addWidget(left);
  split->addWidget(buildPreview());
  split->setStretchFactor(0, 0);
  split->setStretchFactor(1, 1);
  lay->addWidget(split, 1);

  auto* bottom = new QHBoxLayout();
  bottom->addStretch(1);
  create_ = new QPushButton("Create", this);
  create_->setObjectName("createButton");
  create_->setToolTip("Write the menu into the disc: its clip, playlist and movie object, and the index's Top Menu.");
  create_->setDefault(true);
  create_->setAutoDefault(true);
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("cancelButton");
  cancel_->setAutoDefault(false);
  bottom->addWidget(create_);
  bottom->addWidget(cancel_);
  lay->addLayout(bottom);
  connect(create_, &QPushButton::clicked, this, &AuthorDialog::create);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  setMinimumSize(860, 520);
  resize(1180, 680);
}

QWidget* AuthorDialog::buildTitleTable() {
  auto* box = new QGroupBox("Titles", this);
  box->setObjectName("titlesGroup");
  auto* bl = new QVBoxLayout(box);
  bl->setContentsMargins(6, 6, 6, 6);
  table_ = new QTableWidget(0, ColCount, box);
  table_->setObjectName("titleChoiceTable");
  table_->setAccessibleName("Titles of the menu");
  table_->setHorizontalHeaderLabels({"Title", "Label", "Scenes", "Length", "Playlist"});
  table_->verticalHeader()->hide();
  table_->setSelectionMode(QAbstractItemView::NoSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // The controls in the cells take the focus in turn; the grid itself is only their frame.
  table_->setFocusPolicy(Qt::NoFocus);
  table_->setTabKeyNavigation(false);
  QHeaderView* h = table_->horizontalHeader();
  h->setSectionResizeMode(ColLabel, QHeaderView::Stretch);
  for (int c : {ColTitle, ColScenes, ColLength, ColPlaylist}) h->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  table_->setMinimumWidth(470);
  bl->addWidget(table_);
  return box;
}

QWidget* AuthorDialog::buildLook() {
  auto* box = new QGroupBox("Look and navigation", this);
  box->setObjectName("lookGroup");
  auto* form = new QFormLayout(box);
  form->setContentsMargins(6, 6, 6, 6);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

  // Background: a plain colour, or a PNG the engine scales to the page.
  auto* bg = new QWidget(box);
  auto* bgl = new QGridLayout(bg);
  bgl->setContentsMargins(0, 0, 0, 0);
  bgl->setHorizontalSpacing(6);
  colourRadio_ = new QRadioButton("Plain colour", bg);
  colourRadio_->setObjectName("backgroundColourRadio");
  colourRadio_->setChecked(true);
  colourButton_ = new QPushButton(bg);
  colourButton_->setObjectName("backgroundColourButton");
  colourButton_->setAccessibleName("Background colour");
  colourButton_->setToolTip("Choose the background colour");
  colourButton_->setFixedWidth(64);
  pictureRadio_ = new QRadioButton("Picture", bg);
  pictureRadio_->setObjectName("backgroundPictureRadio");
  pictureField_ = new QLineEdit(bg);
  pictureField_->setObjectName("backgroundPictureField");
  pictureField_->setAccessibleName("Background picture");
  pictureField_->setPlaceholderText("a PNG, scaled to 1920 x 1080");
  pictureField_->setClearButtonEnabled(true);
  browse_ = new QPushButton("Browse\u2026", bg);
  browse_->setObjectName("backgroundBrowseButton");
  browse_->setAccessibleName("Choose the background picture");
  browse_->setToolTip("Choose the background picture (PNG)");
  auto* kind = new QButtonGroup(this);
  kind->addButton(colourRadio_);
  kind->addButton(pictureRadio_);
  bgl->addWidget(colourRadio_, 0, 0);
  bgl->addWidget(colourButton_, 0, 1, Qt::AlignLeft);
  bgl->addWidget(pictureRadio_, 1, 0);
  auto* pr = new QHBoxLayout();
  pr->setSpacing(4);
  pr->addWidget(pictureField_, 1);
  pr->addWidget(browse_);
  bgl->addLayout(pr, 1, 1);
  bgl->setColumnStretch(1, 1);
  auto* bgCaption = new QLabel("Background:", box);
  form->addRow(bgCaption, bg);
  showColour();

  // Font: the families fontconfig knows (Qt lists them from it on Linux); the field
  // also takes a fontconfig pattern as typed ("DejaVu Sans:bold").
  font_ = new QComboBox(box);
  font_->setObjectName("fontChoice");
  font_->setEditable(true);
  font_->setInsertPolicy(QComboBox::NoInsert);
  font_->addItem("sans-serif");
  font_->addItems(QFontDatabase::families());
  font_->setCurrentIndex(0);
  font_->setToolTip("A font family, or a fontconfig pattern such as \"DejaVu Sans:bold\"");
  font_->setMaxVisibleItems(20);
  auto* fontCaption = new QLabel("&Font:", box);
  fontCaption->setBuddy(font_);
  font_->setAccessibleName("Font");
  font_->lineEdit()->setAccessibleName("Font");
  form->addRow(fontCaption, font_);

  // Button faces drawn elsewhere: a folder of pictures named by title and state; a
  // button without its pictures gets a face made from its label.
  auto* faces = new QWidget(box);
  auto* fl = new QHBoxLayout(faces);
  fl->setContentsMargins(0, 0, 0, 0);
  fl->setSpacing(4);
  buttonImages_ = new QLineEdit(faces);
  buttonImages_->setObjectName("buttonPicturesField");
  buttonImages_->setAccessibleName("Button pictures folder");
  buttonImages_->setPlaceholderText("none: faces made from the labels");
  buttonImages_->setClearButtonEnabled(true);
  buttonImages_->setToolTip("A folder with title-N-normal.png, title-N-selected.png and title-N-activated.png for the "
                            "button of title N (all three the same size, at most 1000 x 90 in a column and 520 x 110 "
                            "in a grid); scenes use title-N-scene-K-*.png, the page buttons back-*, previous-* and "
                            "next-*. A button without its normal picture keeps its text face.");
  buttonImagesBrowse_ = new QPushButton("Browse\u2026", faces);
  buttonImagesBrowse_->setObjectName("buttonPicturesBrowseButton");
  buttonImagesBrowse_->setAccessibleName("Choose the button pictures folder");
  buttonImagesBrowse_->setToolTip("Choose the folder of button pictures");
  fl->addWidget(buttonImages_, 1);
  fl->addWidget(buttonImagesBrowse_);
  auto* facesCaption = new QLabel("&Button pictures:", box);
  facesCaption->setBuddy(buttonImages_);
  form->addRow(facesCaption, faces);

  layout_ = new QComboBox(box);
  layout_->setObjectName("layoutChoice");
  layout_->addItem("Column", int(author::Layout::Column));
  layout_->addItem("Grid", int(author::Layout::Grid));
  layout_->setAccessibleName("Layout");
  auto* layoutCaption = new QLabel("La&yout:", box);
  layoutCaption->setBuddy(layout_);
  form->addRow(layoutCaption, layout_);

  auto* checks = new QWidget(box);
  auto* cl = new QGridLayout(checks);
  cl->setContentsMargins(0, 0, 0, 0);
  fadeIn_ = new QCheckBox("Fade in", checks);
  fadeIn_->setObjectName("fadeInCheck");
  fadeIn_->setToolTip("The page fades in when the menu starts");
  returnToMenu_ = new QCheckBox("Return to the menu after each title", checks);
  returnToMenu_->setObjectName("returnToMenuCheck");
  returnToMenu_->setToolTip("Each title's program ends with a jump back to the menu");
  firstPlay_ = new QCheckBox("First Play shows the menu", checks);
  firstPlay_->setObjectName("firstPlayCheck");
  firstPlay_->setToolTip("The disc has no First Play: the menu can be what a player starts with");
  replace_ = new QCheckBox("Replace the disc's Top Menu", checks);
  replace_->setObjectName("replaceTopMenuCheck");
  replace_->setToolTip("The disc has a Top Menu already; the files it changes keep their old state in the backup");
  cl->addWidget(fadeIn_, 0, 0);
  cl->addWidget(firstPlay_, 0, 1);
  cl->addWidget(returnToMenu_, 1, 0);
  cl->addWidget(replace_, 1, 1);
  form->addRow(checks);
  // What the disc already has decides what is offered.
  firstPlay_->setVisible(titles_.ok && !titles_.hasFirstPlay);
  replace_->setVisible(titles_.ok && titles_.hasTopMenu);

  connect(colourRadio_, &QRadioButton::toggled, this, &AuthorDialog::changed);
  connect(colourButton_, &QPushButton::clicked, this, &AuthorDialog::chooseColour);
  connect(browse_, &QPushButton::clicked, this, &AuthorDialog::chooseBackground);
  connect(pictureField_, &QLineEdit::textEdited, this, [this] {
    // Typing a picture's name chooses a picture.
    pictureRadio_->setChecked(true);
    changed();
  });
  connect(font_, &QComboBox::currentTextChanged, this, &AuthorDialog::changed);
  connect(buttonImages_, &QLineEdit::textChanged, this, &AuthorDialog::changed);
  connect(buttonImagesBrowse_, &QPushButton::clicked, this, [this] {
    const QString d = QFileDialog::getExistingDirectory(this, "Button pictures", buttonImages_->text().isEmpty()
                                                                                     ? toQt(bdmv_.parent_path().string())
                                                                                     : buttonImages_->text());
    if (!d.isEmpty()) buttonImages_->setText(d);
  });
  connect(layout_, &QComboBox::currentIndexChanged, this, &AuthorDialog::changed);
  for (QCheckBox* c : {fadeIn_, returnToMenu_, firstPlay_, replace_}) connect(c, &QCheckBox::toggled, this, &AuthorDialog::changed);
  return box;
}

QWidget* AuthorDialog::buildPreview() {
  auto* box = new QGroupBox("Preview", this);
  box->setObjectName("previewGroup");
  auto* vl = new QVBoxLayout(box);
  vl->setContentsMargins(6, 6, 6, 6);
  auto* top = new QHBoxLayout();
  pageLabel_ = new QLabel("&Page:", box);
  page_ = new QComboBox(box);
  page_->setObjectName("previewPageChoice");
  page_->setAccessibleName("Preview page");
  page_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  pageLabel_->setBuddy(page_);
  top->addWidget(pageLabel_);
  top->addWidget(page_);
  top->addStretch(1);
  vl->addLayout(top);
  previewStack_ = new QStackedWidget(box);
  previewStack_->setObjectName("previewPanel");
  picture_ = new PictureWidget(previewStack_);
  picture_->setObjectName("previewPicture");
  picture_->setAccessibleName("Menu preview");
  picture_->setFitToWindow(true);
  picture_->setFocusPolicy(Qt::NoFocus);
  picture_->setMinimumSize(320, 180);
  problemLabel_ = new QLabel(previewStack_);
  problemLabel_->setObjectName("previewProblemLabel");
  problemLabel_->setWordWrap(true);
  problemLabel_->setAlignment(Qt::AlignCenter);
  problemLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  problemLabel_->setStyleSheet("QLabel { color: #a01010; background: #fff4f0; border: 1px solid #e0b0a0; padding: 12px; }");
  previewStack_->addWidget(picture_);
  previewStack_->addWidget(problemLabel_);
  vl->addWidget(previewStack_, 1);
  summary_ = new QLabel(box);
  summary_->setObjectName("previewSummaryLabel");
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  vl->addWidget(summary_);
  connect(page_, &QComboBox::currentIndexChanged, this, &AuthorDialog::showPage);
  return box;
}

void AuthorDialog::fillTitles() {
  table_->setRowCount(int(titles_.titles.size()));
  rows_.clear();
  int r = 0;
  for (const author::OfferedTitle& t : titles_.titles) {
    Row row;
    row.title = t.title;
    const QString n = QString::number(t.title);
    row.use = new QCheckBox("Title " + n, table_);
    row.use->setObjectName("titleCheck" + n);
    row.use->setChecked(t.playable);
    row.label = new QLineEdit(toQt(t.defaultLabel), table_);
    row.label->setObjectName("titleLabelField" + n);
    row.label->setAccessibleName("Label of title " + n);
    row.label->setPlaceholderText(toQt(t.defaultLabel));
    row.label->setFrame(false);
    row.scenes = new QCheckBox(table_);
    row.scenes->setObjectName("scenesCheck" + n);
    row.scenes->setAccessibleName("Scenes page of title " + n);
    row.scenes->setToolTip("A page of title " + n + "'s chapters, each a button that starts there");
    // A scenes page offers the chapter marks; one mark is only the start.
    row.scenes->setEnabled(t.playable && t.chapters > 1);
    if (t.playable && t.chapters <= 1) row.scenes->setToolTip("Title " + n + " has no chapters to choose from");
    table_->setCellWidget(r, ColTitle, row.use);
    table_->setCellWidget(r, ColLabel, row.label);
    table_->setCellWidget(r, ColScenes, row.scenes);
    table_->setItem(r, ColLength, readOnlyItem(t.playlist.empty() ? QString() : clock(t.duration)));
    table_->setItem(r, ColPlaylist, readOnlyItem(t.playlist.empty() ? QString("none")
                                                                   : toQt(t.playlist) + QString(" (%1 chapters)").arg(t.chapters)));
    if (!t.playable) {
      // A title that plays nothing has no button to offer; why is the tooltip.
      const QString why = toQt(t.problem.empty() ? std::string("this title plays nothing") : t.problem);
      for (QWidget* w : std::initializer_list<QWidget*>{row.use, row.label, row.scenes}) {
        w->setEnabled(false);
        w->setToolTip(why);
      }
      for (int c : {ColLength, ColPlaylist}) {
        table_->item(r, c)->setFlags(Qt::NoItemFlags);
        table_->item(r, c)->setToolTip(why);
      }
    }
    connect(row.use, &QCheckBox::toggled, this, [this, label = row.label, scenes = row.scenes, playable = t.playable,
                                                 chapters = t.chapters](bool on) {
      label->setEnabled(on);
      scenes->setEnabled(on && playable && chapters > 1);
      changed();
    });
    connect(row.label, &QLineEdit::textEdited, this, &AuthorDialog::changed);
    connect(row.scenes, &QCheckBox::toggled, this, &AuthorDialog::changed);
    rows_.push_back(row);
    ++r;
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setSectionResizeMode(ColLabel, QHeaderView::Stretch);
  // The keyboard goes through the titles row by row, then the look, then Create:
  // the cells' controls were made after the rest of the dialog.
  QList<QWidget*> order;
  for (const Row& row : rows_) order << row.use << row.label << row.scenes;
  order << colourRadio_ << colourButton_ << pictureRadio_ << pictureField_ << browse_ << font_ << buttonImages_ << buttonImagesBrowse_ << layout_ << fadeIn_
        << firstPlay_ << returnToMenu_ << replace_ << page_ << create_ << cancel_;
  for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  if (!rows_.empty()) rows_.front().use->setFocus();
}

author::AuthorOptions AuthorDialog::options() const {
  author::AuthorOptions o;
  for (const Row& r : rows_) {
    if (!r.use->isEnabled() || !r.use->isChecked()) continue;
    author::ChosenTitle c;
    c.title = r.title;
    c.label = r.label->text().toStdString();
    c.scenes = r.scenes->isEnabled() && r.scenes->isChecked();
    o.titles.push_back(std::move(c));
  }
  o.scenes = false;  // chosen title by title
  if (pictureRadio_->isChecked()) o.background = pictureField_->text().trimmed().toStdString();
  o.backgroundColour = menuview::Rgba{uint8_t(colour_.red()), uint8_t(colour_.green()), uint8_t(colour_.blue()), 255};
  o.font = font_->currentText().trimmed().toStdString();
  o.buttonImages = buttonImages_->text().trimmed().toStdString();
  o.layout = author::Layout(layout_->currentData().toInt());
  o.fadeIn = fadeIn_->isChecked();
  o.firstPlay = !firstPlay_->isHidden() && firstPlay_->isChecked();
  o.returnToMenu = returnToMenu_->isChecked();
  o.replace = !replace_->isHidden() && replace_->isChecked();
  return o;
}

void AuthorDialog::setOptions(const author::AuthorOptions& o) {
  for (const Row& r : rows_) {
    if (!r.use->isEnabled()) continue;
    const auto c = std::find_if(o.titles.begin(), o.titles.end(), [&](const author::ChosenTitle& t) { return t.title == r.title; });
    r.use->setChecked(c != o.titles.end());
    if (c == o.titles.end()) continue;
    if (!c->label.empty()) r.label->setText(toQt(c->label));
    r.scenes->setChecked(c->scenes && r.scenes->isEnabled());
  }
  colour_ = QColor(o.backgroundColour.r, o.backgroundColour.g, o.backgroundColour.b);
  showColour();
  pictureField_->setText(toQt(o.background.string()));
  (o.background.empty() ? colourRadio_ : pictureRadio_)->setChecked(true);
  font_->setCurrentText(toQt(o.font.empty() ? std::string("sans-serif") : o.font));
  buttonImages_->setText(toQt(o.buttonImages.string()));
  layout_->setCurrentIndex(std::max(0, layout_->findData(int(o.layout))));
  fadeIn_->setChecked(o.fadeIn);
  firstPlay_->setChecked(o.firstPlay);
  returnToMenu_->setChecked(o.returnToMenu);
  replace_->setChecked(o.replace);
  refreshPreview();
}

void AuthorDialog::changed() {
  // Create waits for the plan of what is chosen now.
  create_->setEnabled(false);
  timer_->start();
}

bool AuthorDialog::previewPending() const { return timer_->isActive() || planner_ || again_; }
QString AuthorDialog::problem() const { return problem_; }

void AuthorDialog::refreshPreview() {
  timer_->stop();
  // One plan at a time: a change made while one is drawn is planned when it ends.
  if (planner_) {
    again_ = true;
    return;
  }
  again_ = false;
  const auto refuse = [this](const QString& why) {
    picture_->setPicture(nullptr);
    plan_ = {};
    showProblem(why);
  };
  if (!titles_.ok) {
    refuse(toQt(titles_.error.empty() ? std::string("The disc's titles could not be read.") : titles_.error));
    return;
  }
  const author::AuthorOptions o = options();
  // No title chosen would mean "every title" to the engine: the dialog asks instead.
  if (o.titles.empty()) {
    refuse(titles_.titles.empty() ? "The disc has no titles to offer in a menu."
                                  : "Tick at least one title: the menu needs a button to show.");
    return;
  }
  // The engine's refusal names the command line's switch; here it is a check box.
  if (titles_.hasTopMenu && !o.replace) {
    refuse("The disc has a Top Menu already. Tick \"" + replace_->text() +
           "\" to put the new menu in its place (the files it changes keep their old state in the backup).");
    return;
  }
  if (pictureRadio_->isChecked() && o.background.empty()) {
    refuse("Choose the background picture (a PNG), or a plain colour.");
    return;
  }
  // Planning sets every label and draws every page: for a disc of many titles that
  // takes a while, so it runs beside the window; the picture shown stays until the
  // new one is ready.
  auto job = std::make_shared<author::MenuPlan>();
  planner_ = QThread::create([job, bdmv = bdmv_, o] {
    core::MemoryLog quiet;
    *job = author::planMenu(bdmv, o, quiet);
  });
  connect(planner_, &QThread::finished, this, [this, job] {
    planner_->deleteLater();
    planner_ = nullptr;
    if (again_) {
      refreshPreview();
      return;
    }
    picture_->setPicture(nullptr);
    plan_ = std::move(*job);
    if (!plan_.ok)
      showProblem(toQt(plan_.error.empty() ? std::string("The menu cannot be made from these choices.") : plan_.error));
    else
      showPlan();
  });
  summary_->setText("Drawing the preview\u2026");
  updateCreate();
  planner_->start();
}

void AuthorDialog::showProblem(const QString& text) {
  problem_ = text;
  problemLabel_->setText(text);
  previewStack_->setCurrentWidget(problemLabel_);
  page_->blockSignals(true);
  page_->clear();
  page_->blockSignals(false);
  pageLabel_->setVisible(false);
  page_->setVisible(false);
  summary_->clear();
  updateCreate();
  Q_EMIT previewed();
}

void AuthorDialog::showPlan() {
  problem_.clear();
  previewStack_->setCurrentWidget(picture_);
  const int keep = page_->currentIndex();
  page_->blockSignals(true);
  page_->clear();
  for (size_t i = 0; i < plan_.pages.size(); ++i)
    page_->addItem(i < plan_.pageNames.size() ? toQt(plan_.pageNames[i]) : QString("Page %1").arg(i + 1));
  const int shown = keep >= 0 && keep < page_->count() ? keep : 0;
  page_->setCurrentIndex(shown);
  page_->blockSignals(false);
  // The page choice matters only when there is a choice.
  pageLabel_->setVisible(page_->count() > 1);
  page_->setVisible(page_->count() > 1);
  showPage(shown);

  QString text = QString("%1 %2, %3 %4. The menu becomes playlist %5 and clip %6, played by movie object %7.")
                     .arg(plan_.pages.size())
                     .arg(plan_.pages.size() == 1 ? "page" : "pages")
                     .arg(plan_.buttons.size())
                     .arg(plan_.buttons.size() == 1 ? "button" : "buttons")
                     .arg(toQt(plan_.menuPlaylist), toQt(plan_.menuClip))
                     .arg(plan_.menuObject);
  if (plan_.replacesTopMenu) text += " The disc's Top Menu is replaced.";
  for (const std::string& w : plan_.warnings) text += "\n" + toQt(w);
  summary_->setText(text);
  updateCreate();
  Q_EMIT previewed();
}

void AuthorDialog::showPage(int page) {
  if (page < 0 || size_t(page) >= plan_.pages.size()) {
    picture_->setPicture(nullptr);
    return;
  }
  picture_->setPicture(&plan_.pages[size_t(page)]);
  picture_->updatePicture();
}

void AuthorDialog::updateCreate() { create_->setEnabled(plan_.ok && problem_.isEmpty() && !previewPending()); }

void AuthorDialog::chooseBackground() {
  const QString start = pictureField_->text().isEmpty() ? toQt(bdmv_.parent_path().string()) : pictureField_->text();
  const QString f = QFileDialog::getOpenFileName(this, "Background picture", start, "PNG picture (*.png);;Any file (*)");
  if (f.isEmpty()) return;
  pictureField_->setText(f);
  pictureRadio_->setChecked(true);
  changed();
}

void AuthorDialog::chooseColour() {
  const QColor c = QColorDialog::getColor(colour_, this, "Background colour");
  if (!c.isValid()) return;
  colour_ = c;
  showColour();
  colourRadio_->setChecked(true);
  changed();
}

void AuthorDialog::showColour() {
  colourButton_->setText(colour_.name());
  colourButton_->setStyleSheet(QString("QPushButton { background: %1; color: %2; }")
                                   .arg(colour_.name(), colour_.lightness() < 128 ? "white" : "black"));
}

void AuthorDialog::create() {
  // Only the plan of what is chosen now may be written (Create is off until it is).
  if (previewPending() || !plan_.ok || !problem_.isEmpty()) return;
  if (mayCreate && !mayCreate()) return;
  const author::AuthorOptions o = options();
  accept();
  Q_EMIT createWanted(o);
}

}  // namespace morvex::app
