#pragma once

#include "console/editordialog.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace tombolix {

class ExclusionList;

// The draw editor: creates a row of 奖次表 or changes one. Shown without
// modality; the console learns that it is gone through closedEditor().
class Modi : public EditorDialog
{
    Q_OBJECT

public:
    explicit Modi(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("添加/修改抽奖设置"); }

    // Writes the draw's ID into the hidden ID box; an ID above 0 loads that draw.
    void setDrawId(qint64 id);

protected:
    void confirm() override;
    void loadRow(qint64 id) override;

private:
    struct SoundRow
    {
        QLineEdit *box;
        QPushButton *browse;
    };

    // Makes the boxes, returning the picture's browse button.
    QPushButton *createControls();
    void layOutFields(QGridLayout *fields, QPushButton *browse);
    SoundRow addSoundRow(
        QGridLayout *fields, int row, const QString &label, const QString &name, const QString &builtIn);
    void setFocusOrder(QPushButton *browse, const SoundRow (&sounds)[2], const ButtonRow &buttons);
    void wireControls(QPushButton *browse);
    void applyCheckRule(int index);
    void choosePicture();
    void showThumbnail();
    void chooseSound(QLineEdit *box);
    bool save();
    bool saveExclusions(qint64 drawId);

    QLineEdit *m_text[5] = {};
    QCheckBox *m_check[2] = {};
    QScrollBar *m_speed = nullptr;
    QLabel *m_speedValue = nullptr;
    QLabel *m_thumbnail = nullptr;
    // The draw's own roll loop and fanfare; empty means the built-in sound.
    QLineEdit *m_rollSound = nullptr;
    QLineEdit *m_stopSound = nullptr;
    // The attribute the board shows beside the winners' names; none first.
    QComboBox *m_boardAttribute = nullptr;
    // The numbers that may win none of the draw's awards.
    ExclusionList *m_excluded = nullptr;
};

} // namespace tombolix
