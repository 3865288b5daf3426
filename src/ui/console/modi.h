#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QScrollBar;

namespace tombolix {

// The draw editor: creates a row of 奖次表 or changes one. Shown without
// modality; the console learns that it is gone through closedEditor().
class Modi : public QDialog
{
    Q_OBJECT

public:
    explicit Modi(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("添加/修改抽奖设置"); }

    // Writes the draw's ID into the hidden ID box; an ID above 0 loads that draw.
    void setDrawId(qint64 id);

signals:
    // Emitted however the dialog closes: confirmed, cancelled or its close box.
    void closedEditor();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadDraw();
    void applyCheckRule(int index);
    void choosePicture();
    void showThumbnail();
    void confirm();
    bool save();

    QLineEdit *m_id = nullptr;
    QLineEdit *m_text[5] = {};
    QCheckBox *m_check[2] = {};
    QScrollBar *m_speed = nullptr;
    QLabel *m_speedValue = nullptr;
    QLabel *m_thumbnail = nullptr;
    bool m_placed = false;
};

} // namespace tombolix
