#include "app/clip/extract_group.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <memory>

#include "clip/clpi_text.h"
#include "ts/demux.h"
#include "app/clip/program_group.h"

namespace morvex::app {

namespace fs = std::filesystem;

ExtractGroup::ExtractGroup(AppContext& ctx, ClipEdits& edit, ProgramGroup& program, QWidget* parent)
    : QGroupBox("Extract", parent), ctx_(ctx), edit_(edit), program_(program) {
  setObjectName("extractGroup");
  auto* fml = new QVBoxLayout(this);
  savePid_ = new QPushButton("Save P&ID", this);
  savePid_->setObjectName("savePidButton");
  savePid_->setToolTip("Save the selected PID");
  savePid_->setEnabled(false);
  fml->addWidget(savePid_);
  toMenu_ = new QPushButton("-> M&enu", this);
  toMenu_->setObjectName("loadToMenuButton");
  toMenu_->setToolTip("Load the selected IG stream on the Menu tab");
  toMenu_->setEnabled(false);
  fml->addWidget(toMenu_);
  // Where the last Save P&ID wrote (or why it wrote nothing).
  outcome_ = new QLabel(this);
  outcome_->setObjectName("extractOutcomeLabel");
  outcome_->setWordWrap(true);
  outcome_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  fml->addWidget(outcome_);
  fml->addStretch(1);
  folderQuestion = [this] {
    const QString start = QString::fromStdString(ctx_.session.folder().parent_path().parent_path().string());
    return QFileDialog::getExistingDirectory(this, "Save P&ID: where should the streams be written?", start);
  };
  connect(toMenu_, &QPushButton::clicked, this, &ExtractGroup::toMenu);
  connect(savePid_, &QPushButton::clicked, this, [this] { savePid(); });
}

void ExtractGroup::updateButtons() {
  const auto& ps = edit_.model().programInfo.programSequences;
  const int row = program_.currentRow();
  const bool streamRow = !ps.empty() && row >= 0 && row < int(ps.back().streams.size());
  savePid_->setEnabled(!extracting_ && edit_.streamSize > 0 && streamRow);
  const QString pid = streamRow ? program_.pidText(row) : QString();
  toMenu_->setEnabled(!extracting_ && clip::rowLoadsMenu(pid.toStdString(), edit_.streamSize));
}

void ExtractGroup::toMenu() {
  const QString pid = program_.pidText(program_.currentRow());
  const QString stream = edit_.streamFile(ctx_);
  if (stream.isEmpty() || !clip::rowLoadsMenu(pid.toStdString(), edit_.streamSize)) return;
  // The Menu tab pulls the IG stream out of the stream file itself.
  Q_EMIT menuStreamWanted(stream, int(clip::pidFromText(pid.toStdString())));
}

QString ExtractGroup::outputFolder() const { return ctx_.settings.workFolder; }

QString ExtractGroup::outcomeText() const { return outcome_->text(); }

QString ExtractGroup::outputFileFor(int row) const {
  const auto rows = clip::programRows(edit_.model());
  if (row < 0 || row >= int(rows.size()) || rows[size_t(row)].size() < 4) return {};
  const auto& r = rows[size_t(row)];
  const uint32_t pid = clip::pidFromText(r[1]);
  const auto& o = ctx_.settings;
  const auto mode = ts::chooseDemuxMode(pid, o.savePES, o.saveSUP, o.saveMNU);
  const std::string type = ts::demuxOutputType(pid, mode, o.savePES);
  return QString::fromStdString(
      ts::demuxOutputName(outputFolder().toStdString(), edit_.name.toStdString(), r[1], r[2], r[3], type));
}

bool ExtractGroup::savePid() {
  const QString source = edit_.streamFile(ctx_);
  const int row = program_.currentRow();
  if (source.isEmpty() || row < 0 || !runTask_ || extracting_) return false;
  // Nothing is written into the disc's folders unasked: the first Save P&ID asks for
  // a folder, and the answer is kept as the work folder.
  if (ctx_.settings.workFolder.isEmpty()) {
    const QString chosen = folderQuestion ? folderQuestion() : QString();
    if (chosen.isEmpty()) {
      outcome_->setText("Nothing written: no output folder chosen.");
      return false;
    }
    ctx_.settings.workFolder = QDir::fromNativeSeparators(chosen);
    Q_EMIT workFolderChosen();
  }
  const QString out = outputFileFor(row);
  if (source.isEmpty() || out.isEmpty() || !runTask_ || extracting_) return false;
  const auto rows = clip::programRows(edit_.model());
  const uint32_t pid = clip::pidFromText(rows[size_t(row)][1]);
  const auto& o = ctx_.settings;
  const auto mode = ts::chooseDemuxMode(pid, o.savePES, o.saveSUP, o.saveMNU);
  extracting_ = true;
  updateButtons();
  // The demultiplexer writes beside the output and renames when complete, so a
  // cancelled or failed run leaves no part of a file behind.
  auto result = std::make_shared<ts::DemuxResult>();
  core::Log* log = ctx_.log;
  const fs::path src = source.toStdString();
  const std::string name = out.toStdString();
  outcome_->setText("Writing " + QDir::toNativeSeparators(out) + " ...");
  runTask_(
      [=](core::Progress& p) { *result = ts::savePid(src, name, pid, mode, *log, &p); },
      [this, result, log, out](bool cancelled) {
        extracting_ = false;
        if (!result->ok && !result->cancelled && !cancelled) log->error(result->error);
        outcome_->setText(result->outputCreated ? "Written to " + QDir::toNativeSeparators(out)
                          : cancelled || result->cancelled ? "Cancelled: nothing written."
                                                            : "Nothing written: " + QString::fromStdString(result->error));
        updateButtons();
        Q_EMIT extractionFinished(result->outputCreated);
      });
  return true;
}

}  // namespace morvex::app
