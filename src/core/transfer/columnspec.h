#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

// Column specs: how one target field is put together from file columns and
// literal texts. A spec is a list of pieces separated by ","; a piece is a
// column reference of one or two letters (A, c, AB) or a literal in double
// quotes. A literal cannot hold a comma, since pieces are split first.
namespace tombolix::transfer {

// Column letters to a 1-based column number: A and a give 1, Z 26, AA 27.
// Pieces are trimmed of spaces and upper-cased; longer than two characters
// gives 0, and anything that works out at 0 or less gives 1 ("3" is column 1,
// "A1" column 11). An empty piece gives 0.
int ColumnNumber(const QString &piece);

// 1-based column number to letters: 1 -> A, 27 -> AA, 59 -> BG. Right for one
// and two letters only (up to 702).
QString ColumnLetters(int n);

// How many characters equal to `character` follow one another from the
// 1-based position start; 0 when the character there differs or start lies
// outside the text.
int QuoteRunLength(const QString &text, QChar character, int start);

// Non-overlapping occurrences of sub, scanning from the left; 0 for an empty sub.
int CountOccurrences(const QString &text, const QString &sub);

// Tidies every spec after the first (the name specs; the number's spec is
// left as typed): full-width quotes and commas become ASCII, spaces around
// are trimmed, and one leading and one trailing comma are dropped.
void NormaliseColumnSpecs(QStringList &specs);

// A spec split into its pieces once, for composing it over many rows: the
// value a row gives is what ComposeSpecValue gives.
class SpecPieces
{
public:
    SpecPieces(const QString &spec, bool trimPieces);

    template<typename Cell> QString compose(const Cell &cell) const
    {
        QString value;
        for (const Piece &piece : m_pieces)
            value += piece.column > 0 ? cell(piece.column) : piece.literal;
        return finish(value);
    }

    // The 1-based columns the pieces read, in the order written.
    std::vector<int> columns() const
    {
        std::vector<int> read;
        for (const Piece &piece : m_pieces) {
            if (piece.column > 0)
                read.push_back(piece.column);
        }
        return read;
    }

private:
    struct Piece
    {
        QString literal;
        int column; // 0 for a literal
    };
    static QString finish(const QString &value);

    std::vector<Piece> m_pieces;
};

// The pieces of the specs after the number's and the name's: one for each
// attribute an import reads.
std::vector<SpecPieces> AttributeSpecPieces(const QStringList &specs, bool trimPieces);

// Composes each attribute spec over one row into values; values stays empty
// when they all come out empty, so a list without further columns costs its
// rows nothing.
template<typename Cell>
void ComposeAttributes(const std::vector<SpecPieces> &specs, const Cell &cell, QStringList &values)
{
    values.clear();
    bool any = false;
    for (const SpecPieces &spec : specs) {
        QString value = spec.compose(cell);
        any = any || !value.isEmpty();
        values << std::move(value);
    }
    if (!any)
        values.clear();
}

// The value of one spec over one row, cell(n) giving the text of the 1-based
// column n. With trimPieces (the workbook reader) every piece first loses CR
// and LF and the spaces around it; the CSV reader takes pieces as typed.
// Column 0 and empty pieces contribute nothing; every line break in the
// result (CR LF, LF or CR) becomes "//".
QString ComposeSpecValue(const QString &spec, const std::function<QString(int)> &cell, bool trimPieces);

} // namespace tombolix::transfer
