#pragma once

#include <QDialog>

namespace tombolix {

// The about box: product name, version, a line on what the program is for and
// the maker's contact lines. Opened from the help menu and the help tab; the
// caller decides between exec() and show().
class About : public QDialog
{
    Q_OBJECT

public:
    explicit About(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("关于本软件"); }
};

} // namespace tombolix
