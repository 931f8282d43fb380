#include "app/playlist/app_info_group.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "app/playlist/playlist_grid.h"
#include "app/widgets/grid.h"
#include "playlist/names.h"
#include "playlist/playlist_edit.h"

namespace morvex::app {

namespace pl = morvex::playlist;

namespace {

QString hex8(uint32_t v) { return QString("%1").arg(v, 8, 16, QChar('0')).toUpper(); }

// Typing in one of the fields is one undo step until another edit.
constexpr int kMergeCount = 1, kMergeUO1 = 2, kMergeUO2 = 3;

}  // namespace

AppInfoGroup::AppInfoGroup(PlaylistEdits& edit, QWidget* parent)
    : QGroupBox("AppInfoPlayList", parent), edit_(edit) {
  setObjectName("appInfoGroup");
  buildUi();
  connectEditors();
}

void AppInfoGroup::buildUi() {
  auto* ag = new QGridLayout(this);
  ag->setContentsMargins(4, 4, 4, 4);
  ag->setHorizontalSpacing(4);
  ag->setVerticalSpacing(1);
  auto* ar = new QHBoxLayout();
  playbackType_ = makeList("playbackTypeChoice", items(pl::playbackTypeItems()), "Playback type", this);
  playbackCount_ = field("playbackCountField", "Playback count for random and shuffle play", "[0-9]{0,4}", 4, this);
  uoMask1_ = field("uoMask1Field", "User Operation Mask Table", "[0-9A-Fa-f]{0,8}", 8, this);
  uoMask2_ = field("uoMask2Field", "User Operation Mask Table #2", "[0-9A-Fa-f]{0,8}", 8, this);
  randomAccess_ = new QCheckBox("random access", this);
  randomAccess_->setObjectName("randomAccessCheck");
  randomAccess_->setToolTip("PlayList_random_access_flag");
  audioMix_ = new QCheckBox("audio mix", this);
  audioMix_->setObjectName("audioMixCheck");
  audioMix_->setToolTip("audio_mix_app_flag");
  bypassMixer_ = new QCheckBox("bypass mixer", this);
  bypassMixer_->setObjectName("losslessBypassCheck");
  bypassMixer_->setToolTip("lossless_may_bypass_mixer_flag");
  ar->addWidget(playbackType_);
  ar->addWidget(new QLabel("count", this));
  ar->addWidget(playbackCount_);
  ar->addWidget(new QLabel("UO", this));
  ar->addWidget(uoMask1_);
  ar->addWidget(new QLabel("UO2", this));
  ar->addWidget(uoMask2_);
  ar->addWidget(randomAccess_);
  ar->addWidget(audioMix_);
  ar->addWidget(bypassMixer_);
  sdrConversion_ = new QCheckBox("SDR conversion", this);
  sdrConversion_->setObjectName("sdrConversionCheck");
  sdrConversion_->setToolTip("SDR_conversion_notification_flag (Ultra HD playlists)");
  ar->addWidget(sdrConversion_);
  ar->addStretch(1);
  ag->addLayout(ar, 0, 0, 1, 17);
  // Bits 31..0 of the first word in two rows of sixteen, then bit 30 of the second.
  for (int bit = 31; bit >= 0; --bit) {
    auto* b = new QCheckBox(QString::number(bit), this);
    b->setObjectName(QString("uoMaskBitCheck%1").arg(bit));
    b->setToolTip(toQt(pl::uoHint(unsigned(bit))));
    uoBits_[bit] = b;
    const int pos = 31 - bit;
    ag->addWidget(b, 1 + pos / 16, pos % 16);
  }
  uoMask2Bit30_ = new QCheckBox("2:30", this);
  uoMask2Bit30_->setObjectName("uoMask2Bit30Check");
  uoMask2Bit30_->setToolTip(toQt(pl::uoMask2Hint()));
  ag->addWidget(uoMask2Bit30_, 1, 16);
}

void AppInfoGroup::connectEditors() {
  connect(playbackType_, &QComboBox::activated, this, [this](int i) {
    if (!filling_) edit_("Playback type", [&] { pl::setPlaybackType(m(), unsigned(i)); });
  });
  connect(playbackCount_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit_("Playback count", [&] { pl::setPlaybackCount(m(), uint16_t(t.toUInt())); }, kMergeCount);
  });
  connect(uoMask1_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit_("User operations", [&] { pl::setcbUOs(m(), t.toUInt(nullptr, 16), m().appInfo.uoMask2); }, kMergeUO1);
    filling_ = true;
    for (int b = 0; b < 32; ++b) uoBits_[b]->setChecked(m().appInfo.uoMask1 >> b & 1);
    filling_ = false;
  });
  connect(uoMask2_, &QLineEdit::textEdited, this, [this](const QString& t) {
    edit_("User operations #2", [&] { pl::setcbUOs(m(), m().appInfo.uoMask1, t.toUInt(nullptr, 16)); }, kMergeUO2);
    filling_ = true;
    uoMask2Bit30_->setChecked(m().appInfo.uoMask2 >> 30 & 1);
    filling_ = false;
  });
  // Leaving the second word keeps only bit 30: the word can hold no other bit.
  connect(uoMask2_, &QLineEdit::editingFinished, this, [this] {
    if (!edit_.loaded) return;
    edit_("User operations #2", [&] { pl::setcbUOs(m(), m().appInfo.uoMask1, pl::uoMask2Accepted(m().appInfo.uoMask2)); });
    showAppInfo();
  });
  for (QLineEdit* e : {playbackCount_, uoMask1_, uoMask2_})
    connect(e, &QLineEdit::returnPressed, this, [this] { setFocus(); });
  for (int b = 0; b < 32; ++b)
    connect(uoBits_[b], &QCheckBox::toggled, this, [this, b](bool on) {
      if (filling_) return;
      edit_(QString("User operation %1").arg(b), [&] { pl::setUOBit(m(), unsigned(b), on); });
      showAppInfo();
    });
  connect(uoMask2Bit30_, &QCheckBox::toggled, this, [this](bool on) {
    if (filling_) return;
    edit_("User operation #2 30", [&] { pl::setUO2Bit30(m(), on); });
    showAppInfo();
  });
  const std::pair<QCheckBox*, pl::AppFlag> flags[] = {
      {randomAccess_, pl::AppFlag::RandomAccess}, {audioMix_, pl::AppFlag::AudioMix}, {bypassMixer_, pl::AppFlag::BypassMixer},
      {sdrConversion_, pl::AppFlag::SdrConversionNotification}};
  for (const auto& bf : flags)
    connect(bf.first, &QCheckBox::toggled, this, [this, box = bf.first, flag = bf.second](bool on) {
      if (!filling_) edit_(box->text(), [&] { pl::setAppFlag(m(), flag, on); });
    });
}

void AppInfoGroup::showAppInfo() {
  filling_ = true;
  const auto& a = m().appInfo;
  playbackType_->setCurrentIndex(a.playbackType >= 1 && a.playbackType <= 3 ? a.playbackType - 1 : -1);
  if (!playbackCount_->hasFocus()) playbackCount_->setText(QString::number(a.playbackCount));
  if (!uoMask1_->hasFocus()) uoMask1_->setText(hex8(a.uoMask1));
  if (!uoMask2_->hasFocus()) uoMask2_->setText(hex8(a.uoMask2));
  for (int b = 0; b < 32; ++b) uoBits_[b]->setChecked(a.uoMask1 >> b & 1);
  uoMask2Bit30_->setChecked(a.uoMask2 >> 30 & 1);
  randomAccess_->setChecked(a.randomAccessFlag);
  audioMix_->setChecked(a.audioMixAppFlag);
  bypassMixer_->setChecked(a.losslessMayBypassMixerFlag);
  sdrConversion_->setChecked(a.sdrConversionNotificationFlag);
  sdrConversion_->setVisible(m().version == "0300");
  filling_ = false;
}

void AppInfoGroup::clear() {
  filling_ = true;
  for (QLineEdit* e : {playbackCount_, uoMask1_, uoMask2_}) e->clear();
  for (auto* b : uoBits_) b->setChecked(false);
  uoMask2Bit30_->setChecked(false);
  filling_ = false;
}

}  // namespace morvex::app
