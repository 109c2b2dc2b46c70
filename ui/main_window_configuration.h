#pragma once

#include <array>

#include "app/configuration.h"

class TForm1;
class TFormInit;

// The configuration file's view of the windows: what its lines act on while it is read, and the
// control states it writes. Until the first activation has pushed the stored values into the
// settings dialog, the file is written from what was stored, whatever step the start-up reached.
class MainWindowConfiguration : public configuration::ConfigurationTarget
{
public:
    // Made once the main window has its design geometry.
    explicit MainWindowConfiguration(TForm1 *window);

    // At the end of the first activation: what the start-up left selected, so that a later save
    // can tell the user's own choices from a device that was missing at start.
    void rememberStartChoices();

    void applyLanguage(configuration::Language language) override;
    void pressAuto() override;
    void selectServer(configuration::AzimuthServer server) override;
    void applyBaud(int rotatorInterface, int baudIndex) override;
    void turnOnEL_GS232() override;
    void turnOnTKB_HOST() override;
    void moveMainWindow(configuration::WindowMeasure measure, int pixels) override;
    void setFavouriteCaption(int favourite, const QString &caption) override;

    configuration::Language language() const override;
    bool autoOn() const override;
    configuration::AzimuthServer server() const override;
    QString portN1mmText() const override;
    QString antN1mmText() const override;
    QString selectedPortItem(int rotatorInterface) const override;
    bool EL_GS232() const override;
    bool TKB_HOST() const override;
    QString kctDirectoryText() const override;
    int mainWindowMeasure(configuration::WindowMeasure measure) const override;
    QPoint angleWindowPosition() const override;
    bool angleWindowVisible() const override;
    QPoint locatorWindowPosition() const override;
    bool locatorWindowVisible() const override;
    QString angleText() const override;
    bool userChangedInterface() const override;
    bool userChangedPort(int rotatorInterface) const override;

private:
    // The LPT index of a parallel board, the selected COM caption of a serial controller.
    QString portChoice(int rotatorInterface) const;
    // The settings dialog once it holds the stored values, else null.
    const TFormInit *filledDialog() const;

    TForm1 *window;
    bool started = false;
    int startInterface = -1;
    std::array<QString, InterfaceCount> startPorts;
    // The main window's measures as the file gave them, before they were bounded and brought on
    // screen; the design's where the file has none.
    std::array<int, 4> storedMainWindow;
};
