#pragma once

#include "draw/checks.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableView;

namespace tombolix {

class CheckReportModel;

// Shows what "检查重复" or "检查号长" found among the entrants of one draw;
// the duplicates view can also delete the extra copies. Shown without
// modality; deletes itself when closed.
class CheckDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Kind
    {
        Duplicates,
        Lengths
    };

    CheckDialog(Kind kind, qint64 drawId, qint64 fixedLength, QWidget *parent = nullptr);

    // Run the check and show the dialog; nullptr when no draw is chosen (the
    // operator is told) or the entrants could not be read.
    static CheckDialog *showDuplicates(QWidget *parent, qint64 drawId);
    static CheckDialog *showLengths(QWidget *parent, qint64 drawId, qint64 fixedLength);

signals:
    // Entrants were deleted; the entrants grid must be reloaded.
    void changed();

protected:
    void showEvent(QShowEvent *event) override;

private:
    static CheckDialog *open(Kind kind, QWidget *parent, qint64 drawId, qint64 fixedLength);
    bool runCheck();
    void showDuplicateReport();
    void showLengthReport();
    void deleteCopies();

    Kind m_kind;
    qint64 m_drawId;
    qint64 m_fixedLength;
    draw::DuplicateReport m_duplicates;
    draw::LengthReport m_lengths;
    QLabel *m_summary = nullptr;
    QLabel *m_detail = nullptr;
    QTableView *m_table = nullptr;
    CheckReportModel *m_model = nullptr;
    QPushButton *m_delete = nullptr;
    bool m_placed = false;
};

} // namespace tombolix
