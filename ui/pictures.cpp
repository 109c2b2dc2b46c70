#include "ui/pictures.h"

#include <QBitmap>
#include <QImage>

// The resources of a static library are registered by hand, outside any namespace.
static bool registerPictures()
{
    Q_INIT_RESOURCE(pictures);
    return true;
}

namespace {

QImage resourceImage(const QString &name)
{
    static const bool registered = registerPictures();
    Q_UNUSED(registered);
    return QImage(QStringLiteral(":/pictures/") + name);
}

} // namespace

namespace pictures {

QPixmap dial()
{
    return QPixmap::fromImage(resourceImage(QStringLiteral("dial.png")));
}

QPixmap lamp(bool on)
{
    const QImage image = resourceImage(on ? QStringLiteral("lamp_on.png") : QStringLiteral("lamp_off.png"));
    QPixmap picture = QPixmap::fromImage(image);
    // The colour of the bottom-left pixel is the transparent one.
    picture.setMask(picture.createMaskFromColor(image.pixelColor(0, image.height() - 1), Qt::MaskInColor));
    return picture;
}

} // namespace pictures
