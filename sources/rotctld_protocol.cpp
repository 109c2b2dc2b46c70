#include "sources/rotctld_protocol.h"

#include <cmath>
#include <optional>
#include <QList>
#include <QRegularExpression>
#include <QString>

namespace rotctld {

namespace {

struct CommandRow {
    char shortName;          // 0 when the command has only its long name
    const char *longName;    // without the backslash
    Command command;
    int argumentCount;
};

constexpr CommandRow Commands[] = {
    {'P', "set_pos", Command::SetPosition, 2},
    {'p', "get_pos", Command::GetPosition, 0},
    {'S', "stop", Command::Stop, 0},
    {'K', "park", Command::Park, 0},
    {'_', "get_info", Command::GetInfo, 0},
    {0, "dump_state", Command::DumpState, 0},
    {'q', "quit", Command::Quit, 0},
    {'Q', "quit", Command::Quit, 0},
};

const CommandRow *findCommand(QByteArrayView name)
{
    for (const CommandRow &row : Commands) {
        if (name.size() == 1 && row.shortName != 0 && name.front() == row.shortName)
            return &row;
        if (name.size() > 1 && name.front() == '\\' && name.sliced(1) == QByteArrayView(row.longName))
            return &row;
    }
    return nullptr;
}

const char *longName(Command command)
{
    for (const CommandRow &row : Commands) {
        if (row.command == command)
            return row.longName;
    }
    return "";
}

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

QList<QByteArrayView> words(QByteArrayView line)
{
    QList<QByteArrayView> result;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSeparator(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !isSeparator(line[i]))
            ++i;
        if (i > start)
            result.append(line.sliced(start, i - start));
    }
    return result;
}

// A plain decimal as clients write it, with the locale's separator (gpredict) or a point.
std::optional<long double> decimal(QByteArrayView text)
{
    static const QRegularExpression pattern(QStringLiteral("^[+-]?(\\d+([.,]\\d*)?|[.,]\\d+)$"));
    QString value = QString::fromLatin1(text);
    if (!pattern.match(value).hasMatch())
        return std::nullopt;
    value.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

QByteArray number(long double value, int decimals)
{
    return QString::number(double(value), 'f', decimals).toLatin1();
}

// Wide enough that a client's own range check lets every azimuth we accept through. The antenna
// turns in azimuth only: no elevation beyond 0..90, which would invite a client's flip mode
// (azimuth + 180 with the elevation over the zenith) and point the antenna away.
constexpr long double MinAzimuth = -180, MaxAzimuth = 360, MinElevation = 0, MaxElevation = 90;

QByteArray status(Status code)
{
    return "RPRT " + QByteArray::number(int(code)) + '\n';
}

QByteArray infoText()
{
    return QByteArrayLiteral("Torvanel " TORVANEL_VERSION);
}

} // namespace

bool isBlank(QByteArrayView line)
{
    return words(line).isEmpty();
}

int azimuthFromText(QByteArrayView text)
{
    const auto value = decimal(text);
    if (!value || *value < MinAzimuth || *value > MaxAzimuth)
        return -1;
    const long double azimuth = std::nearbyintl(*value < 0 ? *value + 360 : *value);
    return azimuth >= 360 ? 0 : int(azimuth);
}

Request parseLine(QByteArrayView line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    Request request;
    QList<QByteArrayView> parts = words(line);
    if (parts.isEmpty())
        return request;
    if (parts.front().startsWith('+')) {
        request.extended = true;
        parts.front() = parts.front().sliced(1);
        if (parts.front().isEmpty())
            parts.removeFirst();
        if (parts.isEmpty())
            return request;
    }
    const CommandRow *row = findCommand(parts.front());
    if (!row)
        return request;
    request.command = row->command;
    parts.removeFirst();
    for (QByteArrayView argument : parts) {
        if (!request.arguments.isEmpty())
            request.arguments += ' ';
        request.arguments += argument;
    }
    request.valid = parts.size() == row->argumentCount;
    if (request.valid && request.command == Command::SetPosition) {
        request.azimuth = azimuthFromText(parts[0]);
        // The elevation is not used, but a request that is no position is refused whole.
        const auto elevation = decimal(parts[1]);
        request.valid = request.azimuth >= 0 && elevation && *elevation >= MinElevation && *elevation <= MaxElevation;
    }
    return request;
}

QByteArray answer(const Request &request, const Rotator &rotator)
{
    if (request.command == Command::Quit)
        return {};
    if (request.command == Command::Unknown)
        return status(Status::NotImplemented);

    QByteArray reply;
    if (request.extended) {
        reply = longName(request.command) + QByteArrayLiteral(":");
        if (!request.arguments.isEmpty())
            reply += ' ' + request.arguments;
        reply += '\n';
    }
    if (!request.valid)
        return reply + status(Status::InvalidArgument);

    // Each value line: its extended label, or nothing in the plain form.
    const auto value = [&](const char *label, const QByteArray &text) {
        if (request.extended)
            reply += QByteArray(label) + ": ";
        reply += text + '\n';
    };
    Status result = Status::Ok;
    switch (request.command) {
    case Command::SetPosition:
        result = rotator.setAzimuth(request.azimuth);
        break;
    case Command::GetPosition:
        value("Azimuth", number(rotator.azimuth(), 2));
        value("Elevation", number(0, 2));
        if (!request.extended)
            return reply;
        break;
    case Command::Stop:
        rotator.stop();
        break;
    case Command::Park:
        if (!rotator.park())
            result = Status::Refused;
        break;
    case Command::GetInfo:
        value("Info", infoText());
        if (!request.extended)
            return reply;
        break;
    case Command::DumpState:
        // The NET rotator client reads this layout line by line when it connects.
        if (request.extended) {
            reply += "rotctld Protocol Ver: 1\nRotor Model: 1\n"
                     "Minimum Azimuth: " + number(MinAzimuth, 6) + "\n"
                     "Maximum Azimuth: " + number(MaxAzimuth, 6) + "\n"
                     "Minimum Elevation: " + number(MinElevation, 6) + "\n"
                     "Maximum Elevation: " + number(MaxElevation, 6) + "\n"
                     "South Zero: 0\n";
        } else {
            reply += "1\n1\nmin_az=" + number(MinAzimuth, 6) + "\nmax_az=" + number(MaxAzimuth, 6)
                   + "\nmin_el=" + number(MinElevation, 6) + "\nmax_el=" + number(MaxElevation, 6)
                   + "\nsouth_zero=0\n";
        }
        reply += "rot_type=AzEl\ndone\n";
        if (!request.extended)
            return reply;
        break;
    case Command::Quit:
    case Command::Unknown:
        break;
    }
    return reply + status(result);
}

} // namespace rotctld
