#include "app/menu/menu_files.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "app/shell/qt_text.h"
#include "core/save.h"
#include "igs/edit.h"
#include "igs/extract.h"
#include "igs/mux.h"
#include "igs/mux_into.h"
#include "igs/writer.h"

namespace morvex::app {

namespace fs = std::filesystem;

MenuFiles::MenuFiles(AppContext& ctx, MenuDocument& doc, TaskRunner run, QWidget* tab)
    : QObject(tab), ctx_(ctx), doc_(doc), run_(std::move(run)), tab_(tab) {
  // A menu read only in part says so until the user accepts saving what was read.
  // The row is hidden with the banner, so it takes no room then.
  banner_ = new QWidget(tab);
  banner_->setObjectName("partialLoadPanel");
  auto* row = new QHBoxLayout(banner_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  partialBanner_ = new QLabel(banner_);
  partialBanner_->setObjectName("partialLoadBanner");
  partialBanner_->setWordWrap(true);
  partialBanner_->setStyleSheet("QLabel { background: #fff0c0; color: #802000; padding: 2px 6px; }");
  confirmPartial_ = new QPushButton("Allow saving", banner_);
  confirmPartial_->setObjectName("allowSavingButton");
  confirmPartial_->setToolTip("Save writes only what could be read; the rest of the original menu is lost.");
  connect(confirmPartial_, &QPushButton::clicked, this, &MenuFiles::confirmPartial);
  row->addWidget(partialBanner_, 1);
  row->addWidget(confirmPartial_);

  clipRow_ = new QWidget(tab);
  clipRow_->setObjectName("muxIntoClipPanel");
  auto* clip = new QHBoxLayout(clipRow_);
  clip->setContentsMargins(0, 0, 0, 0);
  clip->addStretch(1);
  muxIntoClip_ = new QPushButton("Mux into clip\u2026", clipRow_);
  muxIntoClip_->setObjectName("muxIntoClipButton");
  muxIntoClip_->setToolTip(
      "Put the menu into an existing AV stream: every other packet is kept, the clip information and, if you "
      "agree, the playlists that play the clip are brought in step.");
  clip->addWidget(muxIntoClip_);
  connect(muxIntoClip_, &QPushButton::clicked, this, &MenuFiles::chooseAndMuxIntoClip);
  connect(this, &MenuFiles::rulesChanged, this, &MenuFiles::updateClipRow);
  connect(this, &MenuFiles::menuAdopted, this, &MenuFiles::updateClipRow);
  muxIntoClip_->setEnabled(false);
  // The read state lives in the document (its save() checks it too).
  connect(&doc_, &Document::readStateChanged, this, [this] {
    updateBanner();
    Q_EMIT rulesChanged();
  });
  updateBanner();
}

bool MenuFiles::settleModified() {
  if (!doc_.modified()) return true;
  QMessageBox box(QMessageBox::Warning, "Morvex", "Save the changes to " + doc_.caption() + "?\nOtherwise they are lost.",
                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, tab_);
  box.setObjectName("unsavedQuestion");
  box.setDefaultButton(QMessageBox::Save);
  box.setEscapeButton(QMessageBox::Cancel);
  switch (box.exec()) {
    case QMessageBox::Save:
      return doc_.save();
    case QMessageBox::Discard:
      doc_.revert();
      return true;
    default:
      kept_ = true;
      return false;
  }
}

void MenuFiles::chooseAndLoad() {
  const QString start = menuPath_.isEmpty() ? ctx_.dialogFolder() : menuPath_;
  const QString f = QFileDialog::getOpenFileName(tab_, "Load an IGS menu (*.mnu)", start,
                                                 "Menu (*.mnu);;BD AV stream (*.m2ts);;AVCHD stream (*.MTS)");
  if (!f.isEmpty()) loadFile(f, igs::kDefaultIgPid);
}

bool MenuFiles::loadFile(const QString& path, uint16_t pid) {
  kept_ = false;
  if (loading_ || muxing_) return false;
  if (!settleModified()) return false;
  Q_EMIT aboutToReplace();
  loading_ = true;
  Q_EMIT rulesChanged();
  auto menu = std::make_shared<igs::Menu>();
  auto result = std::make_shared<core::ReadResult>();
  core::Log* log = ctx_.log;
  const fs::path file = path.toStdString();
  auto work = [=](core::Progress& p) { *result = igs::loadMenuSource(file, *menu, *log, pid, &p); };
  auto done = [this, menu, result, path, log](bool cancelled) {
    loading_ = false;
    if (cancelled || result->refused() || !menu->loaded) {
      // Nothing read, or not a menu: the open menu stays as it was.
      if (!cancelled && result->refused() && !result->summary().empty()) log->error(result->summary());
      Q_EMIT rulesChanged();
      Q_EMIT loadFinished(false);
      return;
    }
    adoptMenu(std::move(*menu), *result, path);
    Q_EMIT loadFinished(true);
  };
  run_(work, done);
  return true;
}

void MenuFiles::adoptMenu(igs::Menu menu, const core::ReadResult& result, const QString& path) {
  partialText_ = toQt(result.summary());
  menuPath_ = path;
  replacing_ = true;
  doc_.setName(QFileInfo(path).fileName());
  // Save writes back to a menu file; a menu read from a stream asks for a name.
  doc_.path = path.endsWith(".mnu", Qt::CaseInsensitive) ? path : QString();
  doc_.setCaption(doc_.path.isEmpty() ? "the menu read from " + QFileInfo(path).fileName() + " (saved as a .mnu file)"
                                      : QString());
  doc_.reset(std::move(menu));
  doc_.setReadResult(result);
  replacing_ = false;
  if (doc_.partial())
    ctx_.log->error(QFileInfo(path).fileName().toStdString() +
                    ": the menu was read only in part; Save stays off until you allow it (" +
                    partialText_.toStdString() + ")");
  Q_EMIT menuAdopted();
}

bool MenuFiles::createMenu() {
  if (loading_ || !settleModified()) return false;
  Q_EMIT aboutToReplace();
  igs::Menu m;
  igs::newMenu(m);
  partialText_.clear();
  menuPath_.clear();
  replacing_ = true;
  doc_.setName("menu");
  doc_.setCaption({});
  doc_.path.clear();
  doc_.reset(std::move(m));
  doc_.setReadResult({});
  replacing_ = false;
  Q_EMIT menuAdopted();
  return true;
}

void MenuFiles::confirmPartial() { doc_.allowSaving(); }

void MenuFiles::updateBanner() {
  const bool show = doc_.partial() && !doc_.savingAllowed();
  partialBanner_->setText(show ? "This menu was read only in part (" + partialText_ +
                                     "). Saving it writes only what was read; the rest of the original is lost."
                               : QString());
  partialBanner_->setVisible(show);
  confirmPartial_->setVisible(show);
  banner_->setVisible(show);
}

bool MenuFiles::chooseAndSave() {
  const QString f = QFileDialog::getSaveFileName(tab_, "Save Menu", menuPath_.isEmpty()
                                                                        ? ctx_.dialogFolder() + "/menu.mnu"
                                                                        : QFileInfo(menuPath_).path() + "/" +
                                                                              QFileInfo(menuPath_).baseName() + ".mnu",
                                                 "Menu (*.mnu)");
  return !f.isEmpty() && saveTo(f.endsWith(".mnu", Qt::CaseInsensitive) ? f : f + ".mnu");
}

bool MenuFiles::saveTo(const QString& path) {
  if (!doc_.model.loaded) return false;
  if (!writable()) {
    ctx_.log->error("The menu was read only in part: allow saving first.");
    return false;
  }
  const fs::path target = path.toStdString();
  if (!igs::saveMenuFile(doc_.model, target.parent_path(), target.filename().string(), ctx_.saveSettings(), *ctx_.log))
    return false;
  menuPath_ = path;
  doc_.path = path;
  doc_.setName(QFileInfo(path).fileName());
  doc_.setCaption({});
  doc_.markSaved();
  Q_EMIT rulesChanged();
  return true;
}

void MenuFiles::chooseAndMux() {
  const QString ext = toQt(ctx_.names().streamext);
  const QString f = QFileDialog::getSaveFileName(tab_, "Mux Menu", ctx_.dialogFolder() + "/mymenu" + ext,
                                                 ext.mid(1) + " (*" + ext + ")");
  if (!f.isEmpty()) muxTo(f.endsWith(ext, Qt::CaseInsensitive) ? f : f + ext);
}

// A mux starts only from a menu read whole (or allowed to be saved) while nothing else
// runs; from then on the tab counts as busy until the run ends.
bool MenuFiles::beginMux() {
  if (!doc_.model.loaded || loading_ || muxing_) return false;
  if (!writable()) {
    ctx_.log->error("The menu was read only in part: allow saving first.");
    return false;
  }
  muxing_ = true;
  Q_EMIT rulesChanged();
  return true;
}

bool MenuFiles::muxTo(const QString& path) {
  if (!beginMux()) return false;
  auto copy = std::make_shared<igs::Menu>(doc_.model);
  auto stream = std::make_shared<core::Bytes>();
  core::Log* log = ctx_.log;
  const fs::path target = path.toStdString();
  // The stream is muxed on the worker; it reaches the disk only once the run has
  // ended without Cancel, so a cancelled mux leaves no file and an existing one as
  // it was. The menu-only stream is small: writing it here takes no time.
  auto work = [=](core::Progress& p) {
    p.setTotal(2);
    log->info("Muxing menu...");
    *stream = igs::muxMenu(*copy, *log);
    p.setPosition(1);
  };
  auto done = [this, stream, log, target](bool cancelled) {
    muxing_ = false;
    bool ok = false;
    if (cancelled) {
      log->status(core::StatusPanel::Detail, "Mux cancelled: nothing written.");
      log->info("Mux cancelled: " + core::displayPath(target) + " not written.");
    } else if (std::string err; !core::writeFileAtomic(target, *stream, err)) {
      log->error(core::displayPath(target) + ": " + err);
    } else {
      ok = true;
      log->info("[b]" + core::displayPath(target) + "[/b] written.");
    }
    Q_EMIT rulesChanged();
    Q_EMIT muxFinished(ok);
  };
  run_(work, done);
  return true;
}

void MenuFiles::updateClipRow() {
  muxIntoClip_->setEnabled(doc_.model.loaded && writable() && !loading_ && !muxing_);
}

void MenuFiles::chooseAndMuxIntoClip() {
  if (!doc_.model.loaded || loading_ || muxing_) return;
  const QString ext = toQt(ctx_.names().streamext);
  const QString source = QFileDialog::getOpenFileName(tab_, "Mux into Clip: AV Stream", ctx_.dialogFolder(),
                                                      ext.mid(1) + " (*" + ext + ")");
  if (source.isEmpty()) return;
  const QString output =
      QFileDialog::getSaveFileName(tab_, "Mux into Clip: Stream to Write",
                                   QFileInfo(source).path() + "/" + QFileInfo(source).completeBaseName() + "_menu" + ext,
                                   ext.mid(1) + " (*" + ext + ")");
  if (output.isEmpty()) return;
  // The playlists that play the clip without an IG entry would never show the menu.
  const igs::ClipMuxPlan plan = igs::planClipMux(fs::path(output.toStdString()), igs::kIgPid);
  bool addStream = false;
  if (!plan.lackingStream.empty()) {
    QStringList names;
    for (const auto& n : plan.lackingStream) names << toQt(n);
    addStream = QMessageBox::question(tab_, "Mux into Clip",
                                      "These playlists play clip " + toQt(plan.clipName) +
                                          " but list no IG stream, so players will not show the menu there:\n" +
                                          names.join(", ") + "\n\nAdd the IG stream entry to them?",
                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
  }
  muxIntoClip(source, output, addStream);
}

bool MenuFiles::muxIntoClip(const QString& source, const QString& output, bool addStream) {
  if (!beginMux()) return false;
  auto copy = std::make_shared<igs::Menu>(doc_.model);
  auto result = std::make_shared<igs::ClipMuxResult>();
  core::Log* log = ctx_.log;
  const core::SaveSettings settings = ctx_.saveSettings();
  const fs::path src = source.toStdString(), out = output.toStdString();
  auto work = [=](core::Progress& p) {
    *result = igs::muxMenuIntoClip(*copy, src, out, igs::MuxIntoOptions{}, std::nullopt, addStream, settings, *log, &p);
  };
  auto done = [this, result, log, out](bool) {
    muxing_ = false;
    const bool ok = result->ok();
    if (ok) {
      log->info("[b]" + core::displayPath(out) + "[/b] written: " + std::to_string(result->mux.inserted) +
                " packets inserted.");
      for (const auto& n : result->playlistsUpdated) log->info(n + ": IG stream entry added.");
    }
    Q_EMIT rulesChanged();
    Q_EMIT muxFinished(ok);
  };
  run_(work, done);
  return true;
}

}  // namespace morvex::app
