#include "ui/about.h"

#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "platform/error.h"
#include "platform/ui_services.h"

const QString TFormInfo::SiteAddress = QStringLiteral("https://torvanel.example.org/");
const QString TFormInfo::DonationAddress = QStringLiteral("https://torvanel.example.org/donate");

namespace {

// The program's icon, 33 x 33: a compass face whose needle points north-east, on a
// transparent ground.
QPixmap programIcon()
{
    QPixmap picture(33, 33);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(64, 0, 96), 2));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(2, 2, 29, 29));
    painter.setPen(QPen(Qt::black, 1));
    for (int quarter = 0; quarter < 4; ++quarter) {
        painter.save();
        painter.translate(16.5, 16.5);
        painter.rotate(90 * quarter);
        painter.drawLine(QPointF(0, -13), QPointF(0, -10));
        painter.restore();
    }
    painter.setPen(QPen(QColor(255, 0, 0), 2, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(16.5, 16.5), QPointF(25, 8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(16.5, 16.5), 2, 2);
    return picture;
}

// The donation button's picture, 101 x 100: a piggy bank and the coin that drops into it.
QPixmap piggyBank()
{
    QPixmap picture(101, 100);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor pink(240, 150, 180);
    const QColor outline(150, 60, 90);
    painter.setPen(QPen(outline, 2));
    painter.setBrush(pink);
    for (const int left : {26, 40, 58, 72})
        painter.drawRoundedRect(QRectF(left, 74, 10, 16), 3, 3);
    QPainterPath ear;
    ear.moveTo(30, 44);
    ear.lineTo(34, 30);
    ear.lineTo(44, 40);
    ear.closeSubpath();
    painter.drawPath(ear);
    painter.drawEllipse(QRectF(14, 36, 74, 48));
    painter.drawEllipse(QRectF(6, 52, 16, 18));
    painter.setBrush(outline);
    painter.drawEllipse(QPointF(12, 59), 1.5, 2);
    painter.drawEllipse(QPointF(16, 63), 1.5, 2);
    painter.drawEllipse(QPointF(32, 52), 2.5, 2.5);
    painter.drawRoundedRect(QRectF(48, 37, 20, 4), 2, 2);
    painter.setPen(QPen(outline, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(84, 50, 12, 12), 180 * 16, -270 * 16);
    painter.setPen(QPen(QColor(150, 110, 0), 2));
    painter.setBrush(QColor(255, 200, 0));
    painter.drawEllipse(QRectF(47, 6, 22, 22));
    painter.setPen(QPen(QColor(150, 110, 0), 1.5));
    painter.drawLine(QPointF(58, 11), QPointF(58, 23));
    return picture;
}

QLabel *centredLine(QWidget *parent, const QRect &geometry)
{
    auto *label = new QLabel(parent);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(QFont(QStringLiteral("Arial"), 11, QFont::Bold));
    return label;
}

} // namespace

TLabelUrl::TLabelUrl(QWidget *parent) : QLabel(parent)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    setPalette(palette);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setTextFormat(Qt::PlainText);
}

void TLabelUrl::setUrl(const QString &address)
{
    url = address;
    setText(address);
}

void TLabelUrl::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint()))
        return;
    platform::guarded([this] {
        if (OnClick)
            OnClick();
        platform::ui().open(url);
    });
}

TFormInfo::TFormInfo(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("FormInfo"));
    resize(273, 348);
    move(198, 107);

    Panel1 = new QFrame(this);
    Panel1->setGeometry(8, 8, 257, 65);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    auto *banner = new QLabel(QString::fromUtf8("360°"), Panel1);
    banner->setGeometry(Panel1->contentsRect());
    banner->setAlignment(Qt::AlignCenter);
    QFont bannerFont(QStringLiteral("Arial Black"), 40, QFont::Bold, true);
    banner->setFont(bannerFont);
    QPalette grey = banner->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    banner->setPalette(grey);

    Image1 = new QLabel(this);
    Image1->setGeometry(16, 80, 33, 33);
    Image1->setPixmap(programIcon());

    Label1 = centredLine(this, QRect(64, 88, 161, 17));
    Label2 = centredLine(this, QRect(24, 120, 225, 17));
    Label2->setText(QString::fromUtf8("Antenna rotator control"));

    LabelUrl3 = new TLabelUrl(this);
    QFont linkFont(QStringLiteral("Arial"), 11, QFont::Bold);
    linkFont.setUnderline(true);
    LabelUrl3->setFont(linkFont);
    LabelUrl3->setAlignment(Qt::AlignCenter);
    LabelUrl3->setUrl(SiteAddress);
    // The caption is the address, wider than the design's width: centred on the box instead.
    LabelUrl3->adjustSize();
    LabelUrl3->move((273 - LabelUrl3->width()) / 2, 144);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setGeometry(88, 176, 100, 113);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setCursor(Qt::PointingHandCursor);
    SpeedButton1->setIcon(piggyBank());
    SpeedButton1->setIconSize(QSize(101, 100));
    SpeedButton1->setToolTip(DonationAddress);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setGeometry(104, 304, 75, 25);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { platform::guarded([this] { BitBtn1Click(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { platform::guarded([this] { SpeedButton1Click(); }); });
}

void TFormInfo::BitBtn1Click()
{
    hide();
}

void TFormInfo::SpeedButton1Click()
{
    platform::ui().open(DonationAddress);
}
