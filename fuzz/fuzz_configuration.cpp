// Any bytes as a configuration file: reading never fails, and what is written after reading
// reads back and writes the same bytes again.
#include <cstdint>
#include <cstdlib>

#include "app/configuration.h"

using namespace configuration;

namespace {

// Holds what the reader applies, and shows it to the writer as the windows would.
class MirrorTarget : public ConfigurationTarget
{
public:
    explicit MirrorTarget(const Settings &s) : s(s) {}

    void applyLanguage(Language language) override { shownLanguage = language; }
    void pressAuto() override { autoState = !autoState; }
    void selectServer(AzimuthServer server) override { shownServer = server; }
    void applyBaud(int rotatorInterface, int baudIndex) override
    {
        if (rotatorInterface < 0 || rotatorInterface >= InterfaceCount || baudIndex < 0
            || baudIndex >= int(BaudTable.size()))
            std::abort();
    }
    void turnOnEL_GS232() override { elevation = true; }
    void turnOnTKB_HOST() override { host = true; }
    void moveMainWindow(WindowMeasure measure, int pixels) override { mainWindow[int(measure)] = pixels; }
    void setFavouriteCaption(int favourite, const QString &) override
    {
        if (favourite < 0 || favourite >= 6)
            std::abort();
    }

    Language language() const override { return shownLanguage; }
    bool autoOn() const override { return autoState; }
    AzimuthServer server() const override { return shownServer; }
    QString portN1mmText() const override { return s.PORTN1MM; }
    QString antN1mmText() const override { return s.ANTN1MM; }
    QString selectedPortItem(int) const override { return QString(); }
    bool EL_GS232() const override { return elevation; }
    bool TKB_HOST() const override { return host; }
    QString kctDirectoryText() const override { return s.MOVENOW; }
    int mainWindowMeasure(WindowMeasure measure) const override { return mainWindow[int(measure)]; }
    QPoint angleWindowPosition() const override { return {s.WALEFT, s.WATOP}; }
    bool angleWindowVisible() const override { return s.WANGLE == 1; }
    QPoint locatorWindowPosition() const override { return {s.WLLEFT, s.WLTOP}; }
    bool locatorWindowVisible() const override { return s.WLOC == 1; }
    QString angleText() const override { return s.ANGLE; }
    bool userChangedInterface() const override { return false; }
    bool userChangedPort(int) const override { return false; }

private:
    const Settings &s;
    Language shownLanguage = Language::English;
    bool autoState = false;
    AzimuthServer shownServer = AzimuthServer::Velmundo;
    bool elevation = false;
    bool host = false;
    std::array<int, 4> mainWindow = {3, 114, 471, 44};
};

QByteArray readThenWrite(QByteArrayView bytes, qsizetype *skipped)
{
    Settings s;
    MirrorTarget target(s);
    StoredChoices stored;
    *skipped = readConfiguration(bytes, s, target, stored).skipped.size();
    if (s.ANT < NoInterface || s.ANT >= InterfaceCount || s.LPT_POURSAT < -1 || s.LPT_POURSAT > 2
        || s.LPT_FODTRACK < -1 || s.LPT_FODTRACK > 2 || s.SuppressListenerStart)
        std::abort();
    return configurationText(s, target, stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qsizetype skipped = 0;
    const QByteArray once = readThenWrite(QByteArrayView(data, qsizetype(size)), &skipped);
    const QByteArray twice = readThenWrite(once, &skipped);
    if (twice != once || skipped != 0)
        std::abort();
    return 0;
}
