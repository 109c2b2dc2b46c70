// Draws the main window's pictures, pixel by pixel in the 16 VGA colours, into the folder
// given as argument (ui/pictures):
//   cmake --build <build> --target draw_pictures && <build>/draw_pictures ui/pictures
#include <QColor>
#include <QDir>
#include <QImage>

#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace {

const QColor black(0, 0, 0), white(255, 255, 255), silver(192, 192, 192), grey(128, 128, 128),
    purple(128, 0, 128), maroon(128, 0, 0), red(255, 0, 0), teal(0, 128, 128);

using Glyph = const char *[7];

const Glyph letterN = {"X...X", "XX..X", "XX..X", "X.X.X", "X..XX", "X..XX", "X...X"};
const Glyph letterE = {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"};
const Glyph letterS = {".XXX.", "X...X", "X....", ".XXX.", "....X", "X...X", ".XXX."};
const Glyph letterW = {"X...X", "X...X", "X...X", "X.X.X", "X.X.X", "XX.XX", "X...X"};

void drawGlyph(QImage &image, const Glyph &glyph, int left, int top)
{
    for (int row = 0; row < 7; ++row) {
        for (int column = 0; column < 5; ++column) {
            if (glyph[row][column] == 'X')
                image.setPixelColor(left + column, top + row, black);
        }
    }
}

double distance(int x, int y, double centreX, double centreY)
{
    return std::hypot(x - centreX, y - centreY);
}

// A purple plate edged in silver along the top and right, four screws, a black ring and a
// white face centred on pixel (34, 34) with the cardinal letters and a dot every 30 degrees.
QImage dial()
{
    QImage image(68, 68, QImage::Format_RGB32);
    image.fill(purple);
    for (int i = 0; i < 68; ++i) {
        for (int edge : {0, 1}) {
            image.setPixelColor(i, edge, silver);
            image.setPixelColor(67 - edge, i, silver);
        }
    }
    for (auto [screwX, screwY] : {std::pair{7, 8}, {59, 8}, {7, 60}, {59, 60}}) {
        for (int y = screwY - 3; y <= screwY + 3; ++y) {
            for (int x = screwX - 3; x <= screwX + 3; ++x) {
                if (distance(x, y, screwX, screwY) <= 3.2)
                    image.setPixelColor(x, y, x + y > screwX + screwY + 2 ? grey : silver);
            }
        }
        for (int x = screwX - 2; x <= screwX + 2; ++x)
            image.setPixelColor(x, screwY, grey);
    }
    for (int y = 0; y < 68; ++y) {
        for (int x = 0; x < 68; ++x) {
            const double d = distance(x, y, 34, 34);
            if (d <= 23.5)
                image.setPixelColor(x, y, white);
            else if (d <= 26.3)
                image.setPixelColor(x, y, black);
        }
    }
    drawGlyph(image, letterN, 32, 13);
    drawGlyph(image, letterE, 50, 31);
    drawGlyph(image, letterS, 32, 49);
    drawGlyph(image, letterW, 14, 31);
    for (int degrees = 30; degrees < 360; degrees += 30) {
        if (degrees % 90 == 0)
            continue;
        const double r = degrees * M_PI / 180;
        const int left = int(std::lround(33.5 + 19 * std::sin(r)));
        const int top = int(std::lround(33.5 - 19 * std::cos(r)));
        for (int dy : {0, 1}) {
            for (int dx : {0, 1})
                image.setPixelColor(left + dx, top + dy, black);
        }
    }
    return image;
}

// A round lamp with a bevelled grey rim on a teal background, which the program makes
// transparent (the colour of the bottom-left pixel).
QImage lamp(bool on)
{
    QImage image(30, 30, QImage::Format_RGB32);
    image.fill(teal);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            const double d = distance(x, y, 14.5, 14.5);
            if (d > 14.3)
                continue;
            QColor colour = on ? red : maroon;
            if (d > 12.5)
                colour = x + y < 29 ? silver : grey;
            else if (d > 11.5)
                colour = black;
            else if (distance(x, y, 10, 9.5) <= 1.6)
                colour = on ? white : grey;
            image.setPixelColor(x, y, colour);
        }
    }
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures <folder>\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const bool saved = dial().save(folder.filePath(QStringLiteral("dial.png")))
                       && lamp(false).save(folder.filePath(QStringLiteral("lamp_off.png")))
                       && lamp(true).save(folder.filePath(QStringLiteral("lamp_on.png")));
    if (!saved) {
        std::fprintf(stderr, "draw_pictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
