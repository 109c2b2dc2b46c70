#include "sources/rotctld_protocol.h"

#include <cmath>
#include <optional>
#include <QRegularExpression>
#include <QString>

#include "sources/locator.h"

namespace rotctld {

namespace {

// Wide enough that a client's own range check lets every azimuth we accept through. The antenna
// turns in azimuth only: no elevation beyond 0..90, which would invite a client's flip mode
// (azimuth + 180 with the elevation over the zenith) and point the antenna away.
constexpr long double MinAzimuth = -180, MaxAzimuth = 360, MinElevation = 0, MaxElevation = 90;

// One line of an answer, as the extended and the plain form print it.
struct Value {
    QByteArray extended;
    QByteArray plain;
};
using Values = QList<Value>;
using Arguments = QList<QByteArray>;

Value labelled(const char *label, const QByteArray &text)
{
    return {QByteArray(label) + ": " + text, text};
}

// A plain decimal as clients write it, with the locale's separator (gpredict) or a point.
std::optional<double> decimal(QByteArrayView text)
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

std::optional<int> integer(QByteArrayView text)
{
    bool ok = false;
    const int value = QByteArray(text.data(), text.size()).toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QByteArray number(long double value, int decimals)
{
    return QString::number(double(value), 'f', decimals).toLatin1();
}

// Six decimals, digit for digit as Hamlib's rotctld prints them.
QByteArray fixed(double value)
{
    return locator::sixDecimals(value).toLatin1();
}

QByteArray infoText()
{
    return QByteArrayLiteral("Torvanel " TORVANEL_VERSION);
}

// Hamlib's status flags text: each flag followed by a blank.
QByteArray motionFlags(Motion motion)
{
    switch (motion) {
    case Motion::Idle:
        return {};
    case Motion::Turning:
        return "MOVING MOVING_AZ ";
    case Motion::TurningLeft:
        return "MOVING MOVING_AZ MOVING_LEFT ";
    case Motion::TurningRight:
        return "MOVING MOVING_AZ MOVING_RIGHT ";
    }
    return {};
}

// The handlers: the rotator, the arguments, and the values to print. The commands that drive the
// antenna are actions instead: their outcome may be known only later, and they print no values.
using Handler = Status (*)(const Rotator &, const Arguments &, Values &);
using Action = void (*)(const Rotator &, const Arguments &, Done);

std::optional<Travel> overlapOf(const Rotator &rotator)
{
    return rotator.overlap ? rotator.overlap() : std::nullopt;
}

// What clients are told they may ask: every heading, and the whole travel of an overlap.
Travel told(const Rotator &rotator)
{
    const std::optional<Travel> overlap = overlapOf(rotator);
    return overlap ? *overlap : Travel{int(MinAzimuth), int(MaxAzimuth)};
}

// On the overlap's travel, outside 0..359: a position only that turn reaches.
std::optional<int> travelAzimuth(const Rotator &rotator, QByteArrayView text)
{
    const std::optional<Travel> overlap = overlapOf(rotator);
    const auto value = decimal(text);
    if (!overlap || !value || *value < overlap->minimum || *value > overlap->maximum)
        return std::nullopt;
    const long double azimuth = std::nearbyintl(*value);
    if (azimuth >= 0 && azimuth < 360)
        return std::nullopt;
    return int(azimuth);
}

void setPosition(const Rotator &rotator, const Arguments &arguments, Done done)
{
    const std::optional<int> onTravel = travelAzimuth(rotator, arguments[0]);
    const int azimuth = onTravel ? *onTravel : azimuthFromText(arguments[0]);
    // The elevation is not used, but a request that is no position is refused whole.
    const auto elevation = decimal(arguments[1]);
    if ((!onTravel && azimuth < 0) || !elevation || *elevation < MinElevation || *elevation > MaxElevation)
        return done(Status::InvalidArgument);
    if (onTravel)
        return rotator.setTravelAzimuth(azimuth, std::move(done));
    rotator.setAzimuth(azimuth, std::move(done));
}

Status getPosition(const Rotator &rotator, const Arguments &, Values &values)
{
    values << labelled("Azimuth", number(rotator.azimuth(), 2)) << labelled("Elevation", number(0, 2));
    return Status::Ok;
}

void park(const Rotator &rotator, const Arguments &, Done done)
{
    rotator.park(std::move(done));
}

void stop(const Rotator &rotator, const Arguments &, Done done)
{
    rotator.stop(std::move(done));
}

void reset(const Rotator &rotator, const Arguments &arguments, Done done)
{
    if (!integer(arguments[0]))
        return done(Status::InvalidArgument);
    rotator.stop(std::move(done));
}

void move(const Rotator &rotator, const Arguments &arguments, Done done)
{
    const auto direction = integer(arguments[0]);
    if (!direction || !integer(arguments[1]))
        return done(Status::InvalidArgument);
    switch (Direction(*direction)) {
    case Direction::Left:
    case Direction::Right:
        return rotator.move(Direction(*direction), std::move(done));
    case Direction::Up:
    case Direction::Down:
        return done(Status::NotAvailable);
    }
    done(Status::InvalidArgument);
}

// Levels, functions, parameters, configuration and raw commands mean nothing here.
Status notAvailable(const Rotator &, const Arguments &, Values &)
{
    return Status::NotAvailable;
}

Status getInfo(const Rotator &, const Arguments &, Values &values)
{
    values << labelled("Info", infoText());
    return Status::Ok;
}

// Hamlib's words for a rotator turned past north.
QByteArray overlapFlags(const Rotator &rotator)
{
    switch (rotator.overlapSide ? rotator.overlapSide() : Overlap::None) {
    case Overlap::Left:
        return "OVERLAP_LEFT ";
    case Overlap::Right:
        return "OVERLAP_RIGHT ";
    case Overlap::None:
        break;
    }
    return {};
}

Status getStatus(const Rotator &rotator, const Arguments &, Values &values)
{
    values << labelled("Status flags", motionFlags(rotator.motion()) + overlapFlags(rotator));
    return Status::Ok;
}

Status dumpState(const Rotator &rotator, const Arguments &, Values &values)
{
    // The NET rotator client reads this layout line by line when it connects.
    const Travel travel = told(rotator);
    values << Value{"rotctld Protocol Ver: 1", "1"} << Value{"Rotor Model: 1", "1"}
           << Value{"Minimum Azimuth: " + fixed(travel.minimum), "min_az=" + fixed(travel.minimum)}
           << Value{"Maximum Azimuth: " + fixed(travel.maximum), "max_az=" + fixed(travel.maximum)}
           << Value{"Minimum Elevation: " + fixed(MinElevation), "min_el=" + fixed(MinElevation)}
           << Value{"Maximum Elevation: " + fixed(MaxElevation), "max_el=" + fixed(MaxElevation)}
           << Value{"South Zero: 0", "south_zero=0"} << Value{"rot_type=AzEl", "rot_type=AzEl"}
           << Value{"done", "done"};
    return Status::Ok;
}

Status dumpCaps(const Rotator &rotator, const Arguments &, Values &values)
{
    const Travel travel = told(rotator);
    const QByteArray overlap = overlapOf(rotator) ? "OVERLAP_LEFT OVERLAP_RIGHT " : "";
    const QByteArray caps = "Caps dump for model:\t1\n"
                            "Model name:\t\tTorvanel\n"
                            "Mfg name:\t\tTorvanel\n"
                            "Backend version:\t" TORVANEL_VERSION "\n"
                            "Rot type:\t\tAz-El\n"
                            "Status flags: MOVING MOVING_AZ MOVING_LEFT MOVING_RIGHT " + overlap + "\n"
                            "Min Azimuth:\t\t" + number(travel.minimum, 2) + "\n"
                            "Max Azimuth:\t\t" + number(travel.maximum, 2) + "\n"
                            "Min Elevation:\t\t" + number(MinElevation, 2) + "\n"
                            "Max Elevation:\t\t" + number(MaxElevation, 2) + "\n"
                            "Can set Conf:\t\tN\nCan get Conf:\t\tN\n"
                            "Can set Position:\tY\nCan get Position:\tY\n"
                            "Can Stop:\t\tY\nCan Park:\t\tY\nCan Reset:\t\tY\nCan Move:\t\tY\n"
                            "Can get Info:\t\tY\nCan get Status:\t\tY\n"
                            "Can set Func:\tN\nCan get Func:\tN\nCan set Level:\tN\nCan get Level:\tN\n"
                            "Can set Param:\tN\nCan get Param:\tN\n"
                            "\nOverall backend warnings: 0";
    values << Value{caps, caps};
    return Status::Ok;
}

// The locator and bearing commands compute as Hamlib does, to the printed digit.
Status lonLatToLocator(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto longitude = decimal(arguments[0]), latitude = decimal(arguments[1]);
    const auto length = integer(arguments[2]);
    const auto text = longitude && latitude && length ? locator::fromLongLat(*longitude, *latitude, *length / 2)
                                                      : std::nullopt;
    if (!text)
        return Status::InvalidArgument;
    values << labelled("Locator", *text);
    return Status::Ok;
}

Status locatorToLonLat(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto position = locator::toLongLat(arguments[0]);
    if (!position)
        return Status::InvalidArgument;
    values << labelled("Longitude", fixed(position->longitude))
           << labelled("Latitude", fixed(position->latitude));
    return Status::Ok;
}

Status dmsToDecimal(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto degrees = integer(arguments[0]), minutes = integer(arguments[1]), southWest = integer(arguments[3]);
    const auto seconds = decimal(arguments[2]);
    if (!degrees || !minutes || !seconds || !southWest)
        return Status::InvalidArgument;
    values << labelled("Dec Degrees", fixed(locator::fromDms(*degrees, *minutes, *seconds, *southWest)));
    return Status::Ok;
}

Status dmmmToDecimal(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto degrees = integer(arguments[0]), southWest = integer(arguments[2]);
    const auto minutes = decimal(arguments[1]);
    if (!degrees || !minutes || !southWest)
        return Status::InvalidArgument;
    // Hamlib's rotctld hands the S/W flag over as seconds; here it is the flag it is named.
    values << labelled("Dec Deg", fixed(locator::fromDmm(*degrees, *minutes, 0, *southWest)));
    return Status::Ok;
}

Status decimalToDms(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto value = decimal(arguments[0]);
    const auto dms = value ? locator::toDms(*value) : std::nullopt;
    if (!dms)
        return Status::InvalidArgument;
    values << labelled("Degrees", QByteArray::number(dms->degrees))
           << labelled("Minutes", QByteArray::number(dms->minutes)) << labelled("Seconds", fixed(dms->seconds))
           << labelled("S/W", dms->southWest ? "1" : "0");
    return Status::Ok;
}

Status decimalToDmmm(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto value = decimal(arguments[0]);
    const auto dms = value ? locator::toDms(*value) : std::nullopt;
    if (!dms)
        return Status::InvalidArgument;
    values << labelled("Degrees", QByteArray::number(dms->degrees))
           << labelled("Dec Minutes", fixed(dms->decimalMinutes())) << labelled("S/W", dms->southWest ? "1" : "0");
    return Status::Ok;
}

Status qrb(const Rotator &, const Arguments &arguments, Values &values)
{
    std::optional<double> numbers[4];
    for (int i = 0; i < 4; ++i) {
        numbers[i] = decimal(arguments[i]);
        if (!numbers[i])
            return Status::InvalidArgument;
    }
    const auto bearing = locator::qrb(*numbers[0], *numbers[1], *numbers[2], *numbers[3]);
    if (!bearing)
        return Status::InvalidArgument;
    values << labelled("QRB Distance", fixed(bearing->distance))
           << labelled("QRB Azimuth", fixed(bearing->azimuth));
    return Status::Ok;
}

Status longPathAzimuth(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto value = decimal(arguments[0]);
    const auto result = value ? locator::longPathAzimuth(*value) : std::nullopt;
    if (!result)
        return Status::InvalidArgument;
    values << labelled("Long Path Deg", fixed(*result));
    return Status::Ok;
}

Status longPathDistance(const Rotator &, const Arguments &arguments, Values &values)
{
    const auto value = decimal(arguments[0]);
    if (!value)
        return Status::InvalidArgument;
    values << labelled("Long Path km", fixed(locator::longPathDistance(*value)));
    return Status::Ok;
}

} // namespace

// A command, its argument count (RestOfLine: one argument, the rest of the line), whether a
// success answers its values only (Hamlib's get commands) rather than its values, if any, then a
// status, and either its handler or its action (neither for quit).
struct CommandRow {
    static constexpr int RestOfLine = -1;

    constexpr CommandRow(char shortName, const char *longName, int argumentCount, bool answersValues, Handler handler)
        : shortName(shortName), longName(longName), argumentCount(argumentCount), answersValues(answersValues),
          handler(handler)
    {
    }
    constexpr CommandRow(char shortName, const char *longName, int argumentCount, bool answersValues, Action action)
        : shortName(shortName), longName(longName), argumentCount(argumentCount), answersValues(answersValues),
          action(action)
    {
    }

    char shortName; // 0 when the command has only its long name
    const char *longName;
    int argumentCount;
    bool answersValues;
    Handler handler = nullptr;
    Action action = nullptr;
};

namespace {

constexpr CommandRow Commands[] = {
    {'P', "set_pos", 2, false, setPosition},
    {'p', "get_pos", 0, true, getPosition},
    {'K', "park", 0, false, park},
    {'S', "stop", 0, false, stop},
    {'R', "reset", 1, false, reset},
    {'M', "move", 2, false, move},
    {'V', "set_level", 2, false, notAvailable},
    {'v', "get_level", 1, true, notAvailable},
    {'U', "set_func", 2, false, notAvailable},
    {'u', "get_func", 1, true, notAvailable},
    {'X', "set_parm", 2, false, notAvailable},
    {'x', "get_parm", 1, true, notAvailable},
    {'C', "set_conf", 2, false, notAvailable},
    {0, "get_conf", 1, true, notAvailable},
    {'_', "get_info", 0, true, getInfo},
    {'s', "get_status", 0, true, getStatus},
    {'w', "send_cmd", CommandRow::RestOfLine, false, notAvailable},
    // Ends with its status in every form, as Hamlib's.
    {'1', "dump_caps", 0, false, dumpCaps},
    {0, "dump_state", 0, true, dumpState},
    // A pause would hold every client of this single-threaded server.
    {0, "pause", 1, false, notAvailable},
    {'L', "lonlat2loc", 3, true, lonLatToLocator},
    {'l', "loc2lonlat", 1, true, locatorToLonLat},
    {'D', "dms2dec", 4, true, dmsToDecimal},
    {'d', "dec2dms", 1, true, decimalToDms},
    {'E', "dmmm2dec", 3, true, dmmmToDecimal},
    {'e', "dec2dmmm", 1, true, decimalToDmmm},
    {'B', "qrb", 4, true, qrb},
    {'A', "a_sp2a_lp", 1, true, longPathAzimuth},
    {'a', "d_sp2d_lp", 1, true, longPathDistance},
    {'q', "quit", 0, false, Action{}},
    {'Q', "quit", 0, false, Action{}},
};

// Any white space parts words, as Hamlib's reader takes it.
bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isNameCharacter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

const CommandRow *byShortName(char name)
{
    for (const CommandRow &row : Commands) {
        if (row.shortName != 0 && row.shortName == name)
            return &row;
    }
    return nullptr;
}

const CommandRow *byLongName(QByteArrayView name)
{
    for (const CommandRow &row : Commands) {
        if (name == QByteArrayView(row.longName))
            return &row;
    }
    return nullptr;
}

// Reads a line as Hamlib's rotctld reads its stream, one character at a time.
class LineReader
{
public:
    explicit LineReader(QByteArrayView text) : line(text) {}

    bool atEnd()
    {
        skipBlanks();
        return at == line.size() || line[at] == '#';
    }

    Request next()
    {
        Request request;
        const char first = line[at];
        if ((first == '+' || first == ';' || first == '|' || first == ',') && at + 1 < line.size()) {
            ++at;
            // A prefix alone before a blank is dropped, as Hamlib drops it.
            if (!isSeparator(line[at]))
                request.separator = first == '+' ? '\n' : first;
            else if (atEnd())
                return request;
        }
        if (line[at] == '\\') {
            const qsizetype start = ++at;
            while (at < line.size() && isNameCharacter(line[at]))
                ++at;
            request.row = byLongName(line.sliced(start, at - start));
        } else {
            request.row = byShortName(line[at++]);
        }
        if (!request.row)
            return request;
        request.complete = true;
        if (request.row->argumentCount == CommandRow::RestOfLine) {
            skipBlanks();
            request.arguments.append(line.sliced(at).toByteArray());
            request.complete = at < line.size();
            at = line.size();
            return request;
        }
        for (int i = 0; i < request.row->argumentCount && request.complete; ++i) {
            skipBlanks();
            const qsizetype start = at;
            while (at < line.size() && !isSeparator(line[at]))
                ++at;
            request.complete = at > start;
            if (request.complete)
                request.arguments.append(line.sliced(start, at - start).toByteArray());
        }
        return request;
    }

private:
    void skipBlanks()
    {
        while (at < line.size() && isSeparator(line[at]))
            ++at;
    }

    QByteArrayView line;
    qsizetype at = 0;
};

} // namespace

QByteArray report(Status code)
{
    return "RPRT " + QByteArray::number(int(code)) + '\n';
}

bool isQuit(const Request &request)
{
    return request.row && !request.row->handler && !request.row->action;
}

int azimuthFromText(QByteArrayView text)
{
    const auto value = decimal(text);
    if (!value || *value < MinAzimuth || *value > MaxAzimuth)
        return -1;
    const long double azimuth = std::nearbyintl(*value < 0 ? *value + 360 : *value);
    return azimuth >= 360 ? 0 : int(azimuth);
}

QList<Request> parseLine(QByteArrayView line)
{
    QList<Request> requests;
    LineReader reader(line);
    while (!reader.atEnd()) {
        requests.append(reader.next());
        // Past an unknown command or a missing argument the rest of the line means nothing.
        if (!requests.back().complete)
            break;
    }
    return requests;
}

namespace {

QByteArray layout(const Request &request, Status result, const Values &values)
{
    const CommandRow &row = *request.row;
    if (!request.separator) {
        if (result != Status::Ok)
            return report(result);
        QByteArray reply;
        for (const Value &value : values)
            reply += value.plain + '\n';
        return row.answersValues ? reply : reply + report(result);
    }
    QByteArray reply = row.longName + QByteArrayLiteral(":");
    if (!request.arguments.isEmpty())
        reply += ' ' + request.arguments.join(' ');
    reply += request.separator;
    // A text of several lines (the capabilities) ends its last line, as Hamlib prints it.
    for (const Value &value : values)
        reply += value.extended + (value.extended.contains('\n') ? '\n' : request.separator);
    return reply + report(result);
}

} // namespace

void answer(const Request &request, const Rotator &rotator, std::function<void(const QByteArray &)> reply)
{
    if (!request.row)
        return reply(report(Status::NotImplemented));
    if (isQuit(request))
        return reply({});
    if (!request.complete)
        return reply(layout(request, Status::InvalidArgument, {}));
    if (request.row->action) {
        // The request is kept for the answer's layout: the caller's copy may be gone by then.
        return request.row->action(rotator, request.arguments,
                                   [request, reply = std::move(reply)](Status result) { reply(layout(request, result, {})); });
    }
    Values values;
    const Status result = request.row->handler(rotator, request.arguments, values);
    reply(layout(request, result, values));
}

} // namespace rotctld
