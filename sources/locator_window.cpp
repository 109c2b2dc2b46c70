#include "sources/locator_window.h"

#include <cmath>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpressionValidator>

#include "app/settings.h"
#include "platform/error.h"
#include "platform/ui_services.h"
#include "sources/locator.h"

namespace {

// Whole degrees 0..359 of a bearing that may read 360.
int wholeDegrees(double bearing)
{
    return int(std::nearbyint(bearing)) % 360;
}

// One square holds the other (JN18 and JN18du, or the same locator): no heading leads there.
bool sameSquare(const QString &station, const QString &other)
{
    const qsizetype common = qMin(station.size(), other.size());
    return station.left(common).compare(other.left(common), Qt::CaseInsensitive) == 0;
}

} // namespace

TFormLocator::TFormLocator(QWidget *parent, BeamInput mainWindow)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint
                          | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mainWindow(std::move(mainWindow))
{
    setObjectName(QStringLiteral("FormLocator"));
    setWindowTitle(QStringLiteral("Locator"));
    setFixedSize(200, 100);
    move(485, 230);
    EditLocator = new QLineEdit(this);
    EditLocator->setObjectName(QStringLiteral("EditLocator"));
    EditLocator->setGeometry(8, 8, 184, 40);
    EditLocator->setFont(QFont(QStringLiteral("Arial"), 20, QFont::Bold));
    // Only what can still become a locator can be typed.
    EditLocator->setValidator(new QRegularExpressionValidator(stationLocatorPattern(), EditLocator));
    EditLocator->installEventFilter(this);
    LabelPaths = new QLabel(this);
    LabelPaths->setObjectName(QStringLiteral("LabelPaths"));
    LabelPaths->setGeometry(8, 52, 184, 40);
    LabelPaths->setWordWrap(true);
    connect(EditLocator, &QLineEdit::textChanged, this, [this] { EditLocatorChange(); });
    connect(EditLocator, &QLineEdit::inputRejected, this, [] { platform::ui().beep(platform::Beep::Default); });
}

bool TFormLocator::eventFilter(QObject *watched, QEvent *event)
{
    // Typed over whichever way the window came forward, as the angle window is.
    if (watched == EditLocator && event->type() == QEvent::FocusIn
        && static_cast<QFocusEvent *>(event)->reason() == Qt::ActiveWindowFocusReason)
        EditLocator->selectAll();
    if (watched == EditLocator && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        bool taken = false;
        platform::guarded([&] { taken = EditLocatorKeyDown(key->key(), key->modifiers()); });
        return taken;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormLocator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The station's locator may have been set since the last time.
    EditLocatorChange();
    EditLocator->selectAll();
}

std::optional<locator::Path> beamPath(const QString &station, const QString &other)
{
    if (!isStationLocator(station) || !isStationLocator(other) || sameSquare(station, other))
        return std::nullopt;
    return locator::path(station.toLatin1(), other.toLatin1());
}

std::optional<int> shortPathAzimuth(const QString &station, const QString &other)
{
    const auto path = beamPath(station, other);
    return path ? std::optional<int>(wholeDegrees(path->azimuth)) : std::nullopt;
}

std::optional<locator::Path> TFormLocator::path() const
{
    return beamPath(mainWindow.stationLocator(), EditLocator->text());
}

void TFormLocator::EditLocatorChange()
{
    const bool french = mainWindow.french();
    if (!isStationLocator(mainWindow.stationLocator())) {
        LabelPaths->setText(french ? QStringLiteral("Indiquez votre locator dans Init (Ctrl+I)")
                                   : QStringLiteral("Set your own locator in Init (Ctrl+I)"));
        return;
    }
    const auto path = this->path();
    if (!path) {
        const bool own = isStationLocator(EditLocator->text()) && sameSquare(mainWindow.stationLocator(), EditLocator->text());
        LabelPaths->setText(own      ? (french ? QStringLiteral("Votre propre carré") : QStringLiteral("Your own square"))
                            : french ? QStringLiteral("Locator du correspondant")
                                     : QStringLiteral("The other station's locator"));
        return;
    }
    // In the program's language, whatever the system's; a grouping separator reads as a decimal
    // one in the other language (5,682.1 km).
    QLocale numbers(french ? QLocale::French : QLocale::English, french ? QLocale::France : QLocale::UnitedKingdom);
    numbers.setNumberOptions(QLocale::OmitGroupSeparator);
    LabelPaths->setText(QStringLiteral("SP %1°   LP %2°\n%3 km")
                            .arg(wholeDegrees(path->azimuth))
                            .arg(wholeDegrees(path->longPathAzimuth))
                            .arg(numbers.toString(path->distance, 'f', 1)));
}

bool TFormLocator::EditLocatorKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    const auto wanted = path();
    // Ready for the next station before the command's pause, during which the operator may
    // already be typing it.
    EditLocator->selectAll();
    if (wanted)
        mainWindow.turnTo(wholeDegrees(modifiers.testFlag(Qt::ShiftModifier) ? wanted->longPathAzimuth : wanted->azimuth));
    else
        platform::ui().beep(platform::Beep::Default);
    return true;
}
