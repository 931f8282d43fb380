#include "bdmv/bdmv_tab.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "bdmv/folder_rule.h"
#include "panels/execute_panel.h"
#include "panels/register_panel.h"

namespace morvex::app {

BdmvTab::BdmvTab(AppContext& ctx, ExecutePanel* exec, RegisterPanel* regs, QWidget* parent)
    : TabPage(parent), ctx_(ctx), exec_(exec), regs_(regs) {
  setObjectName("tsBDMV");
  auto* lay = new QVBoxLayout(this);
  lay->setContentsMargins(4, 4, 4, 4);
  auto* top = new QHBoxLayout();
  top->addWidget(new QLabel("BDMV folder", this));
  dir_ = new QLineEdit(this);
  dir_->setObjectName("eBDMVdir");
  dir_->setReadOnly(true);
  openDir_ = new QPushButton("...", this);
  openDir_->setObjectName("bbOpenDir");
  openDir_->setToolTip("Select a directory");
  openDir_->setFixedWidth(32);
  read_ = new QPushButton("&Read", this);
  read_->setObjectName("bReadBDMV");
  top->addWidget(dir_, 1);
  top->addWidget(openDir_);
  top->addWidget(read_);
  lay->addLayout(top);
  lay->addStretch(1);

  connect(openDir_, &QPushButton::clicked, this, [this] {
    QString start = folder();
    if (start.size() >= 5) start.chop(5);
    const QString d = QFileDialog::getExistingDirectory(this, "Select a directory", start);
    if (!d.isEmpty()) folderChosen(d);
  });
  connect(read_, &QPushButton::clicked, this, &BdmvTab::readFolder);
}

bool BdmvTab::saveEnabled() const { return false; }
bool BdmvTab::startEnabled() const { return false; }
void BdmvTab::save() {}
void BdmvTab::startUp() {}

QString BdmvTab::folder() const { return dir_->text(); }
void BdmvTab::setFolder(const QString& folder) { dir_->setText(QDir::fromNativeSeparators(folder)); }

void BdmvTab::folderChosen(const QString& chosen) {
  setFolder(completeBdmvFolder(chosen));
  if (ctx_.settings.autoRead) readFolder();
}

void BdmvTab::readFolder() {}

}  // namespace morvex::app
