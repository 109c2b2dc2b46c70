// The main window's azimuth servers: N1MM Logger's datagrams on the UDP listener, Velmundo's and
// Beam_DX's azimuth item over the DDE client. The three exclude each other.
#include "ui/tform1.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include "app/settings.h"
#include "platform/error.h"
#include "sources/datagram.h"
#include "sources/dde_client.h"
#include "sources/dde_text.h"
#include "sources/n1mm_heading.h"
#include "sources/udp_server.h"
#include "ui/settings_dialog.h"
#include "ui/up_down.h"

using languages::Server;

namespace {

const QString Velmundo = QStringLiteral("Velmundo");
const QString BeamDx = QStringLiteral("Beam_DX");
const QString Topic = QStringLiteral("Data");
const QString AzimuthItem = QStringLiteral("Azimuth");

quint16 listeningPort(const Settings &s)
{
    return quint16(s.N1mmPort + s.N1mmAntenna);
}

} // namespace

void TForm1::createServers()
{
    // The form as designed: port 12040, no bindings, inactive.
    UDPServer = new ::UDPServer(this);
    UDPServer->setListeningPort(12040);
    connect(UDPServer, &::UDPServer::OnUDPRead, this,
            [this](const QByteArray &bytes, bool morePending, const QHostAddress &sender) {
                platform::guarded([&] { UDPServerUDPRead(bytes, morePending, sender); });
            });
    // To the logger that steers the antenna, or wherever the settings say, even with another server.
    n1mmHeading = new N1mmHeading([this] { return knownAzimuth(); },
                                  [this]() -> std::optional<N1mmHeading::Target> {
                                      const Settings &s = settings();
                                      if (closeRequested || !(s.N1MMHEADING || MenuServerN1MM->isChecked()))
                                          return std::nullopt;
                                      return N1mmHeading::Target{quint16(s.N1MMHEADINGPORT), s.N1MMHEADINGHOST, s.N1MMROTOR};
                                  },
                                  this);
    // A burst's newest azimuth alone goes out, once the burst has been read.
    connect(UDPServer, &::UDPServer::OnUDPDrained, this, [this] {
        if (listenerBurst) {
            listenerBurst = false;
            engine->release();
        }
    });

    DdeClientConv = new ::DdeClientConv(this);
    DdeClientItem = new ::DdeClientItem(DdeClientConv, this);
    connect(DdeClientConv, &::DdeClientConv::OnOpen, this, [this] { platform::guarded([this] { DdeClientConvOpen(); }); });
    connect(DdeClientConv, &::DdeClientConv::OnClose, this, [this] { platform::guarded([this] { DdeClientConvClose(); }); });
    connect(DdeClientItem, &::DdeClientItem::OnChange, this, [this] { platform::guarded([this] { DdeClientItemChange(); }); });

    // Its tick does nothing; its running state follows the DDE link and the settings dialog.
    TimerDDE = new QTimer(this);
    TimerDDE->setInterval(1000);
    TimerDDE->start();

    connectItem(MenuServerVelmundo, &TForm1::MenuServerVelmundoClick);
    connectItem(menuServerBeamDX, &TForm1::menuServerBeamDXClick);
    connectItem(MenuServerN1MM, &TForm1::MenuServerN1MMClick);
}

void TForm1::connectServersToSettingsDialog()
{
    connect(FormInit, &TFormInit::stopN1mmListener, this, [this] { UDPServer->deactivate(); });
    connect(FormInit, &TFormInit::enableDdeTimer, this, [this] { TimerDDE->start(); });
    // Reported here, so that the error never has to cross the signal.
    connect(FormInit, &TFormInit::moveN1mmListener, this, [this] { platform::guarded([this] { moveN1mmListener(); }); });
}

void TForm1::UDPServerUDPRead(const QByteArray &bytes, bool morePending, const QHostAddress &sender)
{
    if (!MenuServerN1MM->isChecked() || closeRequested)
        return;
    n1mmHeading->heardLogger(sender, datagram::rotorName(bytes));
    if (morePending && !listenerBurst) {
        listenerBurst = true;
        engine->hold();
    }
    if (const auto azimuth = datagram::goAzimuth(bytes)) {
        fromSource(ActivitySource::peer(ActivitySource::N1mm, sender), [&] { UpDownAzi->setPosition(*azimuth); });
        cadran();
    } else if (datagram::holdsStop(bytes) && !bytes.contains("<goazi>")) {
        BitBtnStopClick();
    }
}

void TForm1::MenuServerN1MMClick()
{
    MenuServerN1MM->setChecked(true);
    MenuServer->setTitle(languages::serverMenuCaption(language(), Server::N1mm));
    if (settings().DdeConversationOpen)
        DdeClientConv->closeLink();
    // The configuration file may give the port after its server line.
    if (settings().SuppressListenerStart)
        return;
    UDPServer->activate();
}

void TForm1::MenuServerVelmundoClick()
{
    selectDdeServer(MenuServerVelmundo, Server::Velmundo, Velmundo);
}

void TForm1::menuServerBeamDXClick()
{
    selectDdeServer(menuServerBeamDX, Server::BeamDX, BeamDx);
}

void TForm1::selectDdeServer(QAction *item, Server server, const QString &service)
{
    item->setChecked(true);
    MenuServer->setTitle(QLatin1Char('&') + languages::serverMenuCaption(language(), server));
    UDPServer->deactivate();
    openDdeLink(service);
}

void TForm1::openDdeLink(const QString &service)
{
    // An item still subscribed from the last link would be advised by the open and again by
    // setItem: dropped first, a server that does not answer blocks one transaction time, not two.
    DdeClientConv->closeLink();
    DdeClientItem->setItem(AzimuthItem);
    DdeClientConv->openLink(service, Topic);
    DdeClientItem->setItem(AzimuthItem);
}

void TForm1::DdeClientConvOpen()
{
    settings().DdeConversationOpen = true;
    TimerDDE->stop();
}

void TForm1::DdeClientConvClose()
{
    settings().DdeConversationOpen = false;
    TimerDDE->start();
}

void TForm1::DdeClientItemChange()
{
    if (closeRequested)
        return;
    const dde::AzimuthText read = dde::readAzimuth(DdeClientItem->text());
    settings().DdeAzimuthText = read.text;
    if (read.azimuth)
        fromSource({ActivitySource::Mapping, {}}, [&] { UpDownAzi->setPosition(*read.azimuth); });
}

void TForm1::moveN1mmListener()
{
    UDPServer->deactivate();
    UDPServer->clearBindings();
    UDPServer->setListeningPort(listeningPort(settings()));
    if (MenuServerN1MM->isChecked())
        UDPServer->activate();
}

void TForm1::setListenerDefaultPort()
{
    UDPServer->setListeningPort(listeningPort(settings()));
}

void TForm1::startListenerAtFirstActivation()
{
    const Settings &s = settings();
    if (UDPServer->isActive())
        return;
    FormInit->EditPortN1MM->setText(s.PORTN1MM);
    FormInit->EditAntN1MM->setText(s.ANTN1MM);
    Label1->setText(QStringLiteral("Defaultport=") + QString::number(UDPServer->listeningPort()));
    // Reported once, and the start-up goes on: closing the error box activates the window again,
    // and a retry there would only show the same box again. Choosing N1MM Logger retries.
    if (MenuServerN1MM->isChecked())
        platform::guarded([this] { UDPServer->activate(); });
}

void TForm1::openDdeLinkAtFirstActivation()
{
    if (settings().DdeConversationOpen)
        return;
    if (MenuServerVelmundo->isChecked())
        openDdeLink(Velmundo);
    else if (menuServerBeamDX->isChecked())
        openDdeLink(BeamDx);
}

void TForm1::closeServers()
{
    if (settings().DdeConversationOpen)
        DdeClientConv->closeLink();
    TimerDDE->stop();
    UDPServer->deactivate();
}
