#pragma once

#include "transfer/importer.h"

#include <QDialog>
#include <QHash>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QVBoxLayout;

namespace tombolix {

namespace grid {
class GridModel;
class GridView;
} // namespace grid

class CellEditor;

// The import mapping: a preview of the file, the column specs of the number
// and the name, the row range; OK reads the rows into the console's entrant
// grid and stores them for the draw chosen there.
class InputMap : public QDialog
{
    Q_OBJECT

public:
    InputMap(const transfer::ImportSource &source, grid::GridModel *entrants, std::function<qint64()> drawId,
        QWidget *parent = nullptr);
    // The file and sheet it imports from; an empty path once refused.
    const transfer::ImportSource &source() const { return m_source; }

    static QString caption() { return QStringLiteral("导入数据映射"); }

    grid::GridModel *preview() const { return m_preview; }
    grid::GridModel *mapping() const { return m_mapping; }
    // The column spec of the number (0) or the name (1).
    QString spec(int index) const;
    void setSpec(int index, const QString &spec);
    // The file's further columns offered as attributes: each item is checked
    // when it is to be imported, its data the column number.
    QListWidget *attributeList() const { return m_attributes; }
    // The rows of the file or the chosen sheet; -1 when they are not known.
    qint64 fileRows() const { return m_fileRows; }

public slots:
    void done(int result) override;

signals:
    void imported(int firstRow, int stored);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void loadPreview();
    void setupMapping();
    void loadSettings();
    void saveSettings();
    void confirm();
    void editSpec(int row, int col);
    void hideSpecEditor();
    void buildAttributeList(QVBoxLayout *layout);
    void offerAttributes();
    // The chosen attributes' column specs and names, in the list's order.
    void chosenAttributes(QStringList &specs, QStringList &names) const;

    transfer::ImportSource m_source;
    QString rangeFile() const; // the file (and sheet) a remembered range was chosen for
    grid::GridModel *m_entrants;
    std::function<qint64()> m_drawId;
    grid::GridModel *m_preview = nullptr;
    grid::GridModel *m_mapping = nullptr;
    grid::GridView *m_previewView = nullptr;
    grid::GridView *m_mappingView = nullptr;
    CellEditor *m_specEditor = nullptr;
    QLineEdit *m_range[2] = {};
    QLabel *m_fileRowsLabel = nullptr;
    QListWidget *m_attributes = nullptr;
    QHash<int, bool> m_attributeChoice; // the operator's ticks, by column
    qint64 m_fileRows = -1;
    QList<QStringList> m_previewRows; // the file's first rows, as previewed
    int m_editRow = -1;
    bool m_importing = false;
};

} // namespace tombolix
