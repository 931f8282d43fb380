#include "app/bdmv/check_dialog.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace morvex::app {

using core::Severity;

namespace {

int severityIndex(Severity s) {
  switch (s) {
    case Severity::Error: return 0;
    case Severity::Warning: return 1;
    case Severity::Info: return 2;
  }
  return 0;
}

const char* const kSeverityText[3] = {"Error", "Warning", "Info"};

// The leading number of `text` after `prefix` ("PlayItem 3, angle 2" -> 3), or -1.
int numberAfter(const QString& text, const QString& prefix) {
  if (!text.startsWith(prefix)) return -1;
  int i = int(prefix.size()), n = -1;
  while (i < text.size() && text[i].isDigit()) {
    n = (n < 0 ? 0 : n * 10) + text[i].digitValue();
    if (n > 1000000) return -1;
    ++i;
  }
  return n;
}

// "PLAYLIST/00012.mpls" -> "00012" when the file lies in `dir` with `ext`.
QString nameIn(const QString& file, const QString& dir, const QString& ext) {
  if (!file.startsWith(dir + "/")) return {};
  QString name = file.mid(dir.size() + 1);
  const int cut = name.indexOf(' ');  // "STREAM/00001.m2ts (IG PID 4608)"
  if (cut >= 0) name.truncate(cut);
  if (!name.endsWith(ext, Qt::CaseInsensitive)) return {};
  name.chop(ext.size());
  return name;
}

}  // namespace

FindingsModel::FindingsModel(QObject* parent) : QAbstractTableModel(parent) {
  QStyle* st = QApplication::style();
  icons_[0] = st->standardIcon(QStyle::SP_MessageBoxCritical);
  icons_[1] = st->standardIcon(QStyle::SP_MessageBoxWarning);
  icons_[2] = st->standardIcon(QStyle::SP_MessageBoxInformation);
}

void FindingsModel::setFindings(std::vector<check::Finding> findings) {
  beginResetModel();
  findings_ = std::move(findings);
  endResetModel();
}

const check::Finding* FindingsModel::finding(int row) const {
  return row >= 0 && row < int(findings_.size()) ? &findings_[size_t(row)] : nullptr;
}

int FindingsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(findings_.size());
}

int FindingsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColCount; }

QVariant FindingsModel::data(const QModelIndex& index, int role) const {
  const check::Finding* f = finding(index.row());
  if (!f) return {};
  if (role == Qt::DecorationRole && index.column() == ColSeverity) return icons_[severityIndex(f->severity)];
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  switch (index.column()) {
    case ColSeverity: return QString(kSeverityText[severityIndex(f->severity)]);
    case ColCode: return QString::fromStdString(f->code);
    case ColFile: return QString::fromStdString(f->file);
    case ColLocation: return QString::fromStdString(f->location);
    case ColMessage: return QString::fromStdString(f->message);
  }
  return {};
}

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QAbstractTableModel::headerData(section, orientation, role);
  static const char* const captions[ColCount] = {"Severity", "Code", "File", "Location", "Message"};
  return section >= 0 && section < ColCount ? QString(captions[section]) : QVariant();
}

FindingPlace findingPlace(const check::Finding& f, const core::FileNames& names) {
  FindingPlace p;
  const QString file = QString::fromStdString(f.file);
  const QString loc = QString::fromStdString(f.location);
  if (file == QString::fromStdString(names.indexfile)) {
    p.kind = FindingPlace::BdmvTab;
    if (const int t = numberAfter(loc, "title "); t >= 1) {
      p.kind = FindingPlace::Title;
      p.title = t - 1;
    } else if (loc == "First Playback") {
      p.kind = FindingPlace::FirstPlayback;
    } else if (loc == "Top Menu") {
      p.kind = FindingPlace::TopMenu;
    }
    return p;
  }
  if (file == QString::fromStdString(names.mobjfile)) {
    p.kind = FindingPlace::BdmvTab;
    static const QRegularExpression objectLine(R"(^object (\d+)(?:, line (\d+))?)");
    if (const auto m = objectLine.match(loc); m.hasMatch()) {
      p.kind = FindingPlace::Item;
      p.item.kind = ItemKind::MovieObject;
      p.item.number = m.captured(1).toInt();
      p.item.part = m.captured(2).isEmpty() ? -1 : m.captured(2).toInt();
    }
    return p;
  }
  if (file.startsWith("AUXDATA/")) {
    p.kind = FindingPlace::BdmvTab;
    return p;
  }
  if (const QString n = nameIn(file, "PLAYLIST", QString::fromStdString(names.playlistext)); !n.isEmpty()) {
    p.kind = FindingPlace::Item;
    p.item.kind = ItemKind::Playlist;
    p.item.name = n;
    p.item.part = numberAfter(loc, "PlayItem ");
    return p;
  }
  // A menu read from a stream file opens on the Menu tab, from that PID; the name is
  // the stream's place in the disc folder.
  static const QRegularExpression menuInStream(R"(^(STREAM/[^ ]+) \(IG PID (\d+)\)$)");
  if (const auto m = menuInStream.match(file); m.hasMatch()) {
    p.kind = FindingPlace::Item;
    p.item.kind = ItemKind::Menu;
    p.item.name = m.captured(1);
    p.item.number = m.captured(2).toInt();
    return p;
  }
  // A clip's own findings show the clip.
  QString n = nameIn(file, "CLIPINF", QString::fromStdString(names.clipinfext));
  if (n.isEmpty()) n = nameIn(file, "STREAM", QString::fromStdString(names.streamext));
  if (!n.isEmpty()) {
    p.kind = FindingPlace::Item;
    p.item.kind = ItemKind::Clip;
    p.item.name = n;
    return p;
  }
  if (n = nameIn(file, "BDJO", ".bdjo"); !n.isEmpty()) {
    p.kind = FindingPlace::Item;
    p.item.kind = ItemKind::BdjObject;
    p.item.name = n;
    return p;
  }
  if (file.endsWith(".mnu", Qt::CaseInsensitive)) {
    p.kind = FindingPlace::Item;
    p.item.kind = ItemKind::Menu;
    p.item.name = file;
  }
  return p;
}

CheckDialog::CheckDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("checkDiscDialog");
  setWindowTitle("Check disc");
  setModal(false);
  auto* lay = new QVBoxLayout(this);
  summary_ = new QLabel(this);
  summary_->setObjectName("checkSummaryLabel");
  summary_->setWordWrap(true);
  lay->addWidget(summary_);
  model_ = new FindingsModel(this);
  table_ = new QTableView(this);
  table_->setObjectName("findingsTable");
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  // Fixed row heights and column widths: the view never measures thousands of rows.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  const int ch = table_->fontMetrics().horizontalAdvance('0');
  table_->setColumnWidth(FindingsModel::ColSeverity, 10 * ch);
  table_->setColumnWidth(FindingsModel::ColCode, 29 * ch);
  table_->setColumnWidth(FindingsModel::ColFile, 20 * ch);
  table_->setColumnWidth(FindingsModel::ColLocation, 15 * ch);
  table_->setToolTip("Double-click a finding to show it in its tab");
  lay->addWidget(table_, 1);
  auto* close = new QPushButton("Close", this);
  close->setObjectName("checkCloseButton");
  close->setAutoDefault(false);
  auto* row = new QHBoxLayout();
  row->addStretch(1);
  row->addWidget(close);
  lay->addLayout(row);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  // A double-click, or Enter on the current row.
  connect(table_, &QAbstractItemView::activated, this, [this](const QModelIndex& i) {
    if (const check::Finding* f = model_->finding(i.row())) Q_EMIT findingActivated(*f);
  });
  resize(150 * ch, 440);
}

void CheckDialog::noteUnsaved() {
  summary_->setText(summary_->text() + " Unsaved changes are not part of the check: it reads the files as saved.");
}

void CheckDialog::showRunning(const QString& folder) {
  model_->setFindings({});
  summary_->setText("Checking " + folder + " ...");
}

void CheckDialog::showReport(const check::CheckReport& report) {
  model_->setFindings(report.findings);
  const QString folder = QString::fromStdString(report.folder.string());
  if (!report.checked) {
    summary_->setText(QString::fromStdString(report.failure));
    return;
  }
  const auto errors = report.count(Severity::Error), warnings = report.count(Severity::Warning),
             infos = report.count(Severity::Info);
  QString text = QString("%1: %2 error(s), %3 warning(s), %4 note(s).")
                     .arg(folder)
                     .arg(errors)
                     .arg(warnings)
                     .arg(infos);
  if (report.cancelled) text += " Cancelled: only the files read before Cancel were checked.";
  else if (report.findings.empty()) text += " The disc is consistent.";
  summary_->setText(text);
  if (!report.findings.empty()) table_->selectRow(0);
}

}  // namespace morvex::app
