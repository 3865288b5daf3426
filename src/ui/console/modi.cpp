#include "console/modi.h"

#include "common/conventions.h"
#include "common/helpers.h"
#include "common/prompts.h"
#include "common/settingsstore.h"
#include "console/exclusionlist.h"
#include "data/attributestore.h"
#include "data/database.h"
#include "data/drawstore.h"
#include "data/rangestore.h"
#include "draw/board.h"
#include "draw/displayrules.h"
#include "draw/eligibleset.h"
#include "draw/stagesound.h"
#include "drawscreen/picture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

namespace tombolix {

namespace {

enum Box
{
    Picture = 0,
    Mask = 1,
    Timer = 2,
    Length = 3,
    Name = 4
};

constexpr int SlowestSpeed = 1000;
const QSize ThumbnailSize(224, 126);

const QString CheckTip = QStringLiteral("抽奖开始后是定时自动抽出，还是手动操作。");
// The sound player decodes WAV only.
const QString SoundFilter = QStringLiteral("音频文件 (*.wav)|*.wav");

} // namespace

Modi::Modi(QWidget *parent)
    : EditorDialog(QStringLiteral("Modi"), caption(), parent)
{
    addIdBox();
    QPushButton *browse = createControls();

    QGridLayout *fields = addFieldGrid(1);
    layOutFields(fields, browse);
    // A draw's own sounds: a box with a browse button each, like the picture's.
    const SoundRow sounds[2] = {
        addSoundRow(fields, 7, QStringLiteral("抽奖音乐："), draw::RollSoundKey, QStringLiteral("内置音乐")),
        addSoundRow(fields, 8, QStringLiteral("中奖音效："), draw::StopSoundKey, QStringLiteral("内置音效")),
    };
    m_rollSound = sounds[0].box;
    m_stopSound = sounds[1].box;
    m_boardAttribute = new QComboBox(this);
    m_boardAttribute->setObjectName(draw::BoardAttributeKey);
    m_boardAttribute->addItem(QStringLiteral("（不显示）"), QString());
    fields->addWidget(fieldLabel(QStringLiteral("公告板显示：")), 9, 0);
    fields->addWidget(m_boardAttribute, 9, 1, 1, 2);
    m_excluded = new ExclusionList(QStringLiteral("此抽奖的任何奖项"), this);
    fields->addWidget(m_excluded, 10, 0, 1, 3);

    const ButtonRow buttons = addButtons(QStringLiteral("Com_1"), QStringLiteral("Com_2"));
    stackFields(fields, buttons);
    setFocusOrder(browse, sounds, buttons);
    wireControls(browse);

    m_speedValue->setText(QStringLiteral("%1 毫秒").arg(m_speed->value()));
    applyCheckRule(0);
    applyCheckRule(1);
    adjustSize();
    // What the operator types first is the draw's name.
    m_text[Name]->setFocus();
}

QPushButton *Modi::createControls()
{
    for (int i = 0; i < 5; ++i) {
        m_text[i] = new QLineEdit(this);
        m_text[i]->setObjectName(QStringLiteral("TT_%1").arg(i));
    }
    m_text[Name]->setMinimumWidth(340);
    m_text[Timer]->setText(QStringLiteral("0"));
    m_text[Length]->setText(QStringLiteral("0"));
    m_text[Timer]->setFixedWidth(80);
    m_text[Length]->setFixedWidth(80);
    m_text[Mask]->setToolTip(QStringLiteral(
        "在抽奖结果数字中屏蔽其中几位，例：输入“000****0000”显示中间4位不显示出来（常用于手机号抽奖）。"));
    m_text[Timer]->setToolTip(QStringLiteral("每个奖项从开始抽奖到自动结束的时间长度（0表示不定时）。"));
    m_text[Length]->setToolTip(QStringLiteral("抽奖用的数字串是否要求固定长度（0表示不要求）。"));

    auto *browse = new QPushButton(QStringLiteral("浏览"), this);
    browse->setObjectName(QStringLiteral("Com_0"));
    browse->setAutoDefault(false);

    m_thumbnail = new QLabel(this);
    m_thumbnail->setObjectName(QStringLiteral("Img"));
    m_thumbnail->setFixedSize(ThumbnailSize);
    m_thumbnail->setFrameShape(QFrame::StyledPanel);
    m_thumbnail->setFrameShadow(QFrame::Sunken);
    m_thumbnail->setAlignment(Qt::AlignCenter);
    m_thumbnail->setAutoFillBackground(true);
    m_thumbnail->setBackgroundRole(QPalette::Base);

    m_speed = new QScrollBar(Qt::Horizontal, this);
    m_speed->setObjectName(QStringLiteral("HS"));
    m_speed->setRange(1, SlowestSpeed);
    m_speed->setSingleStep(1);
    m_speed->setPageStep(100);
    m_speed->setValue(1);
    m_speed->setMinimumWidth(220);
    m_speedValue = new QLabel(this);
    m_speedValue->setObjectName(QStringLiteral("HSValue"));
    // Wide enough for "1000 毫秒" so the row does not jump while dragging.
    m_speedValue->setMinimumWidth(
        m_speedValue->fontMetrics().horizontalAdvance(QStringLiteral("1000 毫秒")) + 4);
    m_speedValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_check[0] = new QCheckBox(QStringLiteral("定时抽奖"), this);
    m_check[1] = new QCheckBox(QStringLiteral("固定长度"), this);
    for (int i = 0; i < 2; ++i) {
        m_check[i]->setObjectName(QStringLiteral("CK_%1").arg(i));
        m_check[i]->setToolTip(CheckTip);
    }
    return browse;
}

void Modi::layOutFields(QGridLayout *fields, QPushButton *browse)
{
    fields->addWidget(fieldLabel(QStringLiteral("抽奖名称：")), 0, 0);
    fields->addWidget(m_text[Name], 0, 1, 1, 2);

    fields->addWidget(fieldLabel(QStringLiteral("背景图片：")), 1, 0);
    fields->addWidget(m_text[Picture], 1, 1);
    fields->addWidget(browse, 1, 2);

    fields->addWidget(fieldLabel(QStringLiteral("缩略图："), Qt::AlignTop), 2, 0);
    fields->addWidget(m_thumbnail, 2, 1, 1, 2, Qt::AlignLeft);

    fields->addWidget(fieldLabel(QStringLiteral("滚动速度：")), 3, 0);
    auto *speedRow = new QHBoxLayout;
    speedRow->addWidget(m_speed, 1);
    speedRow->addWidget(new QLabel(QStringLiteral("慢"), this));
    fields->addLayout(speedRow, 3, 1);
    fields->addWidget(m_speedValue, 3, 2);

    fields->addWidget(fieldLabel(QStringLiteral("结果屏蔽：")), 4, 0);
    fields->addWidget(m_text[Mask], 4, 1, 1, 2);

    const QString lengthLabels[2] = { QStringLiteral("定时时长："), QStringLiteral("抽奖号码长：") };
    const QString units[2] = { QStringLiteral("秒"), QStringLiteral("位") };
    for (int i = 0; i < 2; ++i) {
        fields->addWidget(m_check[i], 5 + i, 0, Qt::AlignRight);
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(lengthLabels[i], this));
        row->addWidget(m_text[Timer + i]);
        row->addWidget(new QLabel(units[i], this));
        row->addStretch(1);
        fields->addLayout(row, 5 + i, 1, 1, 2);
    }
}

Modi::SoundRow Modi::addSoundRow(
    QGridLayout *fields, int row, const QString &label, const QString &name, const QString &builtIn)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    box->setPlaceholderText(builtIn);
    box->setToolTip(QStringLiteral("只能播放WAV文件；留空、文件不存在或无法读取时使用%1。").arg(builtIn));
    auto *button = new QPushButton(QStringLiteral("浏览"), this);
    button->setObjectName(name + QStringLiteral("Browse"));
    button->setAutoDefault(false);
    fields->addWidget(fieldLabel(label), row, 0);
    fields->addWidget(box, row, 1);
    fields->addWidget(button, row, 2);
    connect(button, &QPushButton::clicked, this, [this, box] { chooseSound(box); });
    return { box, button };
}

void Modi::setFocusOrder(QPushButton *browse, const SoundRow (&sounds)[2], const ButtonRow &buttons)
{
    setTabOrder(m_text[Name], m_text[Picture]);
    setTabOrder(m_text[Picture], browse);
    setTabOrder(browse, m_speed);
    setTabOrder(m_speed, m_text[Mask]);
    setTabOrder(m_text[Mask], m_check[0]);
    setTabOrder(m_check[0], m_text[Timer]);
    setTabOrder(m_text[Timer], m_check[1]);
    setTabOrder(m_check[1], m_text[Length]);
    setTabOrder(m_text[Length], sounds[0].box);
    setTabOrder(sounds[0].box, sounds[0].browse);
    setTabOrder(sounds[0].browse, sounds[1].box);
    setTabOrder(sounds[1].box, sounds[1].browse);
    setTabOrder(sounds[1].browse, m_excluded->box());
    setTabOrder(m_excluded->box(), buttons.ok);
    setTabOrder(buttons.ok, buttons.cancel);
}

void Modi::wireControls(QPushButton *browse)
{
    connect(m_text[Picture], &QLineEdit::textChanged, this, &Modi::showThumbnail);
    connect(m_speed, &QScrollBar::valueChanged, this,
        [this](int value) { m_speedValue->setText(QStringLiteral("%1 毫秒").arg(value)); });
    for (int i = 0; i < 2; ++i) {
        connect(m_check[i], &QCheckBox::toggled, this, [this, i] { applyCheckRule(i); });
        // Ticking by hand means the operator is about to type the length.
        connect(m_check[i], &QCheckBox::clicked, this, [this, i](bool checked) {
            if (checked) {
                m_text[Timer + i]->setFocus();
                m_text[Timer + i]->selectAll();
            }
        });
    }
    connect(browse, &QPushButton::clicked, this, &Modi::choosePicture);
}

void Modi::setDrawId(qint64 id)
{
    setRowId(id);
}

void Modi::loadRow(qint64 id)
{
    const std::optional<data::DrawRecord> draw = data::DrawStore().load(id);
    if (!draw)
        return;
    m_text[Name]->setText(draw->name);
    m_text[Picture]->setText(draw->picture);
    m_speed->setValue(static_cast<int>(std::clamp<qint64>(integerValue(draw->speed), 1, SlowestSpeed)));
    m_text[Mask]->setText(draw->mask);
    m_text[Timer]->setText(draw->timer);
    m_text[Length]->setText(draw->length);

    // Set both ways, so loading a second draw into the same window cannot keep
    // a tick left by the first.
    m_check[0]->setChecked(numericValue(draw->timer) > 0);
    m_check[1]->setChecked(numericValue(draw->length) > 0);
    applyCheckRule(0);
    applyCheckRule(1);

    m_rollSound->setText(data::DrawStore().extraSetting(id, draw::RollSoundKey));
    m_stopSound->setText(data::DrawStore().extraSetting(id, draw::StopSoundKey));

    // The names the draw's entrants have, and the one chosen even when its
    // column has gone since.
    while (m_boardAttribute->count() > 1)
        m_boardAttribute->removeItem(1);
    for (const QString &name : data::AttributeStore().names(id).value_or(QStringList()))
        m_boardAttribute->addItem(name, name);
    const QString shown = data::DrawStore().extraSetting(id, draw::BoardAttributeKey);
    if (!shown.isEmpty() && m_boardAttribute->findData(shown) < 0)
        m_boardAttribute->addItem(shown, shown);
    m_boardAttribute->setCurrentIndex(std::max(0, m_boardAttribute->findData(shown)));
    m_excluded->setNumbers(data::RangeStore().drawExclusions(id).value_or(QStringList()));
}

void Modi::applyCheckRule(int index)
{
    QLineEdit *box = m_text[Timer + index];
    const bool ticked = m_check[index]->isChecked();
    box->setEnabled(ticked);
    box->setReadOnly(!ticked);
    if (!ticked)
        box->setText(QStringLiteral("0"));
}

void Modi::choosePicture()
{
    QString filter = QStringLiteral("JPEG图片(*.jpg)|*.jpg");
    const QString path = AskOpenFileName(filter);
    if (!path.isEmpty())
        m_text[Picture]->setText(path);
}

void Modi::chooseSound(QLineEdit *box)
{
    QString filter = SoundFilter;
    const QString path = AskOpenFileName(filter);
    if (!path.isEmpty())
        box->setText(path);
}

void Modi::showThumbnail()
{
    m_thumbnail->clear();
    const QPixmap picture = draw::LoadPictureIfExists(m_text[Picture]->text());
    if (picture.isNull())
        return;
    const QSize room = m_thumbnail->contentsRect().size();
    m_thumbnail->setPixmap(picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void Modi::confirm()
{
    if (m_text[Name]->text().isEmpty()) {
        prompts().message(QStringLiteral("抽奖名称不能为空，请取其他名称！"));
        return;
    }
    // The draw screen cannot show a longer number on one line.
    if (integerValue(m_text[Length]->text()) > draw::MaxFixedLength) {
        prompts().message(QStringLiteral("抽奖号码长不能超过%1位！").arg(draw::MaxFixedLength));
        m_text[Length]->setFocus();
        m_text[Length]->selectAll();
        return;
    }
    if (save())
        accept();
}

bool Modi::save()
{
    data::DrawRecord draw;
    draw.id = rowId();
    draw.name = m_text[Name]->text();
    if (draw.id <= 0) {
        // Names that differ only in the case of their Latin letters count as
        // the same name, as they always did in the draw store.
        const std::optional<bool> taken = data::DrawStore().nameTaken(draw.name);
        if (!taken)
            return false; // the database routine has already told the operator
        if (*taken) {
            prompts().message(QStringLiteral("抽奖名称已经存在，请取其他名称！"));
            return false;
        }
    }
    draw.picture = m_text[Picture]->text();
    draw.speed = QString::number(m_speed->value());
    draw.mask = m_text[Mask]->text();
    draw.timer = m_text[Timer]->text();
    draw.length = m_text[Length]->text();
    // The sound files are settings of the draw beside its row, so an older
    // Data.mdb needs no new column; the path is kept as typed, the file is
    // not copied. Row and settings are stored together or not at all.
    // (A file that cannot be opened starts no transaction; the save then
    // says why, as it always has.)
    data::Transaction transaction;
    data::SaveResult saved = data::DrawStore().save(draw);
    if (saved.saved()
        && !(data::DrawStore().setExtraSetting(saved.id, draw::RollSoundKey, m_rollSound->text())
            && data::DrawStore().setExtraSetting(saved.id, draw::StopSoundKey, m_stopSound->text())
            && data::DrawStore().setExtraSetting(
                saved.id, draw::BoardAttributeKey, m_boardAttribute->currentData().toString())
            && (!transaction.isActive() || transaction.commit())))
        saved.status = data::SaveResult::NotWritten;
    return reportSave(saved) && saveExclusions(saved.id);
}

bool Modi::saveExclusions(qint64 drawId)
{
    // A transaction of its own: a new draw's ID is only known once its row
    // is committed.
    const QStringList numbers = m_excluded->numbers();
    if (!data::RangeStore().saveDrawExclusions(drawId, numbers)) {
        prompts().message(QStringLiteral("不参与名单保存失败，请检查数据库！"));
        return false;
    }
    const QString unknown = NumbersNotInDrawText(draw::NumbersNotInDraw(drawId, numbers));
    if (!unknown.isEmpty())
        prompts().message(unknown + QStringLiteral("。这些号码也已保存，不影响抽奖。"));
    return true;
}

} // namespace tombolix
