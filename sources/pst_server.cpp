#include "sources/pst_server.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <QScopedValueRollback>

#include "platform/error.h"
#include "sources/rotctld_protocol.h"
#include "sources/udp_server.h"

namespace pst {

namespace {

// The number a text starts with: a sign, digits and one decimal point; none without a digit.
QByteArrayView leadingNumber(QByteArrayView text)
{
    text = text.trimmed();
    qsizetype end = text.startsWith('-') || text.startsWith('+') ? 1 : 0;
    const qsizetype digitsFrom = end;
    bool point = false;
    for (; end < text.size(); ++end) {
        const char c = text[end];
        if (c == '.' && !point)
            point = true;
        else if (c < '0' || c > '9')
            break;
    }
    const QByteArrayView number = text.first(end);
    const bool digit = number.size() - digitsFrom - (point ? 1 : 0) > 0;
    return digit ? number : QByteArrayView();
}

// "1" switches an order on.
bool on(QByteArrayView value)
{
    return value.trimmed() == "1";
}

std::optional<Request> request(QByteArrayView tag, QByteArrayView value)
{
    if (tag == "AZIMUTH") {
        const int azimuth = rotctld::azimuthFromText(leadingNumber(value));
        if (azimuth >= 0)
            return Request{Request::Azimuth, azimuth, {}};
    } else if (tag == "QRA") {
        return Request{Request::Locator, -1, QString::fromLatin1(value.trimmed())};
    } else if (tag == "STOP" && on(value)) {
        return Request{Request::Stop, -1, {}};
    } else if (tag == "PARK" && on(value)) {
        return Request{Request::Park, -1, {}};
    }
    return std::nullopt;
}

// The requests between one <PST> and its </PST>: tagged values and bare questions. upper is the
// block in capitals, for the names; the values are read from block.
void readBlock(QByteArrayView block, QByteArrayView upper, QList<Request> &requests)
{
    qsizetype at = 0;
    while (at < block.size()) {
        if (block[at] != '<') {
            qsizetype tag = upper.indexOf('<', at);
            if (tag < 0)
                tag = block.size();
            if (upper.sliced(at, tag - at).trimmed() == "AZ?")
                requests.append(Request{Request::AskAzimuth, -1, {}});
            at = tag;
            continue;
        }
        const qsizetype nameEnd = upper.indexOf('>', at);
        if (nameEnd < 0)
            return;
        const QByteArrayView name = upper.sliced(at + 1, nameEnd - at - 1);
        const QByteArray closing = "</" + name.toByteArray() + '>';
        const qsizetype valueEnd = upper.indexOf(closing, nameEnd + 1);
        if (valueEnd < 0)
            return;
        if (const auto read = request(name, block.sliced(nameEnd + 1, valueEnd - nameEnd - 1)))
            requests.append(*read);
        at = valueEnd + closing.size();
    }
}

} // namespace

QList<Request> parse(QByteArrayView datagram)
{
    QList<Request> requests;
    const QByteArray upper = datagram.toByteArray().toUpper();
    qsizetype from = 0;
    while ((from = upper.indexOf("<PST>", from)) >= 0) {
        from += 5;
        const qsizetype end = upper.indexOf("</PST>", from);
        const qsizetype to = end < 0 ? upper.size() : end;
        readBlock(datagram.sliced(from, to - from), QByteArrayView(upper).sliced(from, to - from), requests);
        from = to;
    }
    return requests;
}

QByteArray azimuthAnswer(int azimuth)
{
    return "AZ:" + QByteArray::number(azimuth);
}

} // namespace pst

PstServer::PstServer(PstRotator rotator, QObject *parent) : QObject(parent), rotator(std::move(rotator))
{
    connect(&socket, &QUdpSocket::readyRead, this, &PstServer::readDatagrams);
}

void PstServer::listen(quint16 port, bool allowOtherComputers)
{
    socket.close();
    if (!socket.bind(allowOtherComputers ? QHostAddress::Any : QHostAddress::LocalHost, port,
                     QAbstractSocket::DontShareAddress))
        throw TorvanelError(QStringLiteral("Cannot listen on UDP port %1 for PST datagrams: %2")
                                .arg(port)
                                .arg(socket.errorString()));
}

void PstServer::readDatagrams()
{
    std::optional<pst::Request> move;
    QHostAddress mover;
    for (int read = 0; read < MaxDatagramsAtOnce && socket.hasPendingDatagrams(); ++read) {
        const std::optional<ReceivedDatagram> datagram = takeDatagram(socket);
        if (!datagram || datagram->oversized)
            continue;
        const QHostAddress &sender = datagram->sender;
        const QList<pst::Request> requests = pst::parse(datagram->bytes);
        const bool stops = std::any_of(requests.begin(), requests.end(),
                                       [](const pst::Request &request) { return request.kind == pst::Request::Stop; });
        if (stops) {
            // Nothing read before a stop, nor beside it, moves the antenna after it.
            move.reset();
            const QScopedValueRollback from(serving, sender);
            rotator.stop();
        }
        for (const pst::Request &request : requests) {
            if (request.kind == pst::Request::AskAzimuth)
                socket.writeDatagram(pst::azimuthAnswer(rotator.azimuth()), sender, quint16(socket.localPort() + 1));
            else if (request.kind != pst::Request::Stop && !stops) {
                move = request;
                mover = sender;
            }
        }
    }
    if (!move)
        return;
    const QScopedValueRollback from(serving, mover);
    switch (move->kind) {
    case pst::Request::Azimuth:
        rotator.turnTo(move->azimuth);
        break;
    case pst::Request::Locator:
        rotator.turnToLocator(move->locator);
        break;
    case pst::Request::Park:
        rotator.park();
        break;
    case pst::Request::Stop:
    case pst::Request::AskAzimuth:
        break;
    }
}
