#include "widgets/lcd99_characters.h"

#include <algorithm>
#include <iterator>
#include <string_view>

namespace lcd {

namespace {

struct Glyph {
    char character;
    const char *segments; // the lit segment numbers as digits
};

// Letters that share a pattern (G and 6, U V W, M N) do so on purpose: seven segments
// cannot tell them apart.
constexpr Glyph glyphs[] = {
    {'0', "123567"}, {'1', "36"},      {'2', "13457"},   {'3', "13467"},   {'4', "2346"},
    {'5', "12467"},  {'6', "124567"},  {'7', "136"},     {'8', "1234567"}, {'9', "123467"},
    {'-', "4"},      {':', "8"},       {' ', ""},        {'A', "123456"},  {'B', "24567"},
    {'C', "1257"},   {'D', "34567"},   {'E', "12457"},   {'F', "1245"},    {'G', "124567"},
    {'H', "2456"},   {'I', "36"},      {'J', "367"},     {'K', "23456"},   {'L', "257"},
    {'M', "456"},    {'N', "456"},     {'O', "4567"},    {'P', "12345"},   {'Q', "12346"},
    {'R', "45"},     {'S', "12467"},   {'T', "245"},     {'U', "23567"},   {'V', "23567"},
    {'W', "23567"},  {'X', "23456"},   {'Y', "2346"},    {'Z', "13457"},
};

const Glyph *glyphOf(QChar c)
{
    const auto found = std::find_if(std::begin(glyphs), std::end(glyphs),
                                    [c](const Glyph &g) { return c == QLatin1Char(g.character); });
    return found == std::end(glyphs) ? nullptr : found;
}

} // namespace

bool isLit(QChar c, int segment)
{
    const Glyph *glyph = glyphOf(c);
    return glyph && std::string_view(glyph->segments).find(char('0' + segment)) != std::string_view::npos;
}

QString normalisedValue(const QString &value)
{
    QString result = value;
    for (QChar &c : result) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
        if (c != u'.' && !glyphOf(c))
            return QString();
    }
    if (result.endsWith(u'.'))
        result.chop(1);
    return result;
}

Cells splitCells(const QString &value, int digitNum)
{
    Cells cells;
    QChar previous;
    for (const QChar c : value) {
        if (c != u'.') {
            cells.characters += c;
            // A point just before this character already holds this cell's mark.
            if (previous != u'.')
                cells.points += u' ';
        } else {
            cells.points += u'.';
            if (previous == u'.')
                cells.characters += u' ';
        }
        previous = c;
    }
    // A value still ending in a point (it had two) leaves a mark for a cell that does not
    // exist; kept, it would shift every point one cell to the left.
    cells.points.truncate(cells.characters.size());

    const int count = std::max(digitNum, 0);
    cells.characters = cells.characters.rightJustified(count, u' ', false).left(count);
    cells.points = cells.points.rightJustified(count, u' ', false).left(count);
    return cells;
}

} // namespace lcd
