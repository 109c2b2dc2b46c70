#pragma once

#include <functional>
#include <optional>
#include <QWidget>

#include "sources/locator.h"

class QLabel;
class QLineEdit;

// From the station's locator to the other's; none while either is not a locator, or one square
// holds the other.
std::optional<locator::Path> beamPath(const QString &station, const QString &other);
// The short path's azimuth of beamPath in whole degrees 0..359.
std::optional<int> shortPathAzimuth(const QString &station, const QString &other);

// What the locator window needs of the main window.
struct BeamInput {
    std::function<QString()> stationLocator; // MYLOCATOR; empty while it is not set
    std::function<void(int)> turnTo;          // sends the azimuth like MAN
    std::function<bool()> french;
};

// The small floating window where the operator types the other station's locator and turns the
// antenna to the short path (Enter) or the long path (Shift+Enter).
class TFormLocator : public QWidget
{
    Q_OBJECT
public:
    TFormLocator(QWidget *parent, BeamInput mainWindow);

    // Shows both paths and the distance as soon as the entry reads as a locator.
    void EditLocatorChange();
    // True when the key was taken from the entry.
    bool EditLocatorKeyDown(int key, Qt::KeyboardModifiers modifiers);

    QLineEdit *EditLocator;
    QLabel *LabelPaths;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // From the station's locator to the entry's, none while either is not a locator.
    std::optional<locator::Path> path() const;

    BeamInput mainWindow;
};
